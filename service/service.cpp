#include "service.h"

#include "icons.h"
#include "linuxbackend.h"

#include "servicelink/objectnames.h"

#include "platform/namedobject.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <unistd.h>

namespace demo {
namespace {

using namespace std::chrono;
using namespace servicelink;

constexpr const char kLockName[] = "kestrix-service.lock";
constexpr const char kNewVersion[] = "1.0.55.0";

std::u16string u16(const std::string& text)
{
    // The texts the service publishes are ASCII or UTF-8; decode UTF-8 properly.
    std::u16string out;
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        char32_t point = c;
        std::size_t length = 1;
        if (c >= 0xF0 && i + 3 < text.size() + 0) {
            point = ((c & 0x07u) << 18) | ((text[i + 1] & 0x3Fu) << 12) | ((text[i + 2] & 0x3Fu) << 6)
                    | (text[i + 3] & 0x3Fu);
            length = 4;
        } else if (c >= 0xE0 && i + 2 < text.size()) {
            point = ((c & 0x0Fu) << 12) | ((text[i + 1] & 0x3Fu) << 6) | (text[i + 2] & 0x3Fu);
            length = 3;
        } else if (c >= 0xC0 && i + 1 < text.size()) {
            point = ((c & 0x1Fu) << 6) | (text[i + 1] & 0x3Fu);
            length = 2;
        }
        if (point >= 0x10000) {
            point -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (point >> 10));
            out += static_cast<char16_t>(0xDC00 + (point & 0x3FF));
        } else {
            out += static_cast<char16_t>(point);
        }
        i += length;
    }
    return out;
}

std::string utf8(const std::u16string& text)
{
    std::string out;
    for (char16_t unit : text)
        out += unit < 0x80 ? static_cast<char>(unit) : '?';
    return out;
}

const char* parameterName(std::uint32_t id)
{
    switch (id) {
    case kParameterRequestedActive: return "requested active state";
    case kParameterUploadLimit: return "upload limit";
    case kParameterDownloadLimit: return "download limit";
    case kParameterUpdateState: return "update state";
    default: return "not interpreted";
    }
}

template <typename Info>
void fillCommon(Info& info, const Flow& flow)
{
    info.id = flow.id;
    info.isPinned = flow.pinned ? 1 : 0;
    info.downloadSpeed = flow.down;
    info.uploadSpeed = flow.up;
    info.priority = flow.priority;
    servicelink::textToField(info.name, u16(flow.name));
    servicelink::textToField(info.iconPath, u16(flow.iconPath));
}

} // namespace

std::string writeInstaller(const std::string& cacheDirectory)
{
    const std::string directory = cacheDirectory + "/update";
    if (!makeDirectories(directory))
        return {};
    const std::string script = directory + "/install-kestrix-" + kNewVersion + ".sh";
    const std::string log = directory + "/installed.log";
    std::ofstream file(script, std::ios::trunc);
    file << "#!/bin/sh\n"
         << "# Kestrix Command Center " << kNewVersion << " (demo): notes that it ran.\n"
         << "echo \"installed " << kNewVersion << " $(date '+%F %T')\" >> \"" << log << "\"\n";
    file.close();
    if (!file)
        return {};
    // Double quotes: what the command center's command splitting understands.
    return "/bin/sh \"" + script + "\"";
}

Service::Service(const Options& options, Output output)
    : m_options(options), m_output(std::move(output)), m_directory(platform::objectDirectory())
{
    m_active = options.active;
    m_downLimit = options.downLimit;
    m_upLimit = options.upLimit;
}

Service::~Service() = default;

void Service::say(const std::string& line)
{
    if (m_output)
        m_output(line);
}

bool Service::start()
{
    std::string why;
    m_instanceLock = platform::FileLock::tryAcquire(platform::objectPath(m_directory, kLockName), why);
    if (!m_instanceLock.isValid()) {
        say("kestrix-service: another kestrix-service is already serving " + m_directory
            + " (" + why + "); not starting a second one");
        return false;
    }
    m_instanceLock.write(std::to_string(::getpid()) + "\n");

    m_link.setObjectDirectory(m_directory);
    if (m_link.createObjects(static_cast<mode_t>(m_options.mode)) != 0
        || m_link.vlcommRegister(this) != 0 || m_link.beginNewEpoch() != 0) {
        say("kestrix-service: cannot create the shared objects in " + m_directory
            + " (see the lines above)");
        return false;
    }

    m_iconDirectory = iconDirectory(m_options.iconDirectory);
    if (!makeDirectories(m_iconDirectory))
        say("kestrix-service: cannot create the icon folder " + m_iconDirectory + "; icons left out");

    if (m_options.backend == "linux") {
        linuxbackend::Settings settings;
        settings.interface = m_options.interface;
        settings.cgroupRoot = m_options.cgroupRoot;
        settings.stateDirectory = m_options.stateDirectory;
        settings.iconDirectory = m_iconDirectory;
        settings.markMask = m_options.markMask;
        auto backend = std::make_unique<linuxbackend::LinuxBackend>(settings, m_output);
        std::string error;
        if (!backend->start(error)) {
            say(error);
            return false;
        }
        m_interface = backend->interface();
        if (!m_options.policyGiven)
            backend->savedPolicy(m_active, m_downLimit, m_upLimit);
        m_backend = std::move(backend);
    } else {
        std::unique_ptr<TrafficModel> model;
        if (m_options.demo) {
            TrafficSettings settings;
            settings.seed = m_options.seed;
            settings.apps = m_options.apps;
            settings.sites = m_options.sites;
            settings.churn = m_options.churn;
            model = std::make_unique<TrafficModel>(settings);
        }
        m_backend = std::make_unique<DemoBackend>(std::move(model));
    }
    std::string error;
    if (!m_backend->setPolicy(m_active, m_downLimit, m_upLimit, error)) {
        say(error);
        return false;
    }

    m_started = Clock::now();
    m_nextHeartbeat = m_started;
    m_nextTick = m_started + milliseconds(m_options.tickMs);
    m_nextAdapterCheck = m_started;
    m_link.setParameters({{kParameterRequestedActive, m_active ? 1u : 0u},
                          {kParameterActualActive, m_active ? 1u : 0u},
                          {kParameterHeartbeat, ++m_heartbeat},
                          {kParameterUploadLimit, m_upLimit},
                          {kParameterDownloadLimit, m_downLimit},
                          {kParameterUpdateState, kUpdateNoNewVersion},
                          {kParameterUpdateProgress, 0},
                          {kParameterUpdateTotal, 0}});
    refreshAdapter();
    publishTraffic();
    say("kestrix-service: serving " + std::to_string(m_backend->flows().size())
        + " applications and sites on " + m_adapter.name + " in " + m_directory);
    return true;
}

void Service::run(const std::atomic<bool>& stop)
{
    while (!stop.load())
        step(100);
    say("kestrix-service: stopped");
}

void Service::step(int maxWaitMs)
{
    const auto now = Clock::now();
    const auto due = std::min({m_nextHeartbeat, m_nextTick, m_nextAdapterCheck});
    const auto untilDue = duration_cast<milliseconds>(due - now).count();
    const int waitMs = static_cast<int>(std::clamp<long long>(untilDue, 0, maxWaitMs));
    if (waitMs > 0)
        m_link.clientEvent().wait(waitMs);

    // Take over what the client wrote; the reports land in the callbacks.
    m_link.poll();
    if (m_pendingActiveAnswer) {
        m_pendingActiveAnswer = false;
        m_link.setParameters({{kParameterActualActive, m_active ? 1u : 0u}});
    }

    const auto later = Clock::now();
    std::vector<std::pair<std::uint32_t, std::uint32_t>> parameters;
    if (later >= m_nextHeartbeat) {
        const bool stalled = m_options.stallHeartbeatAfter >= 0
                             && later - m_started >= duration<double>(m_options.stallHeartbeatAfter);
        if (!stalled)
            parameters.emplace_back(kParameterHeartbeat, ++m_heartbeat);
        m_nextHeartbeat = later + milliseconds(m_options.heartbeatMs);
    }
    if (!parameters.empty())
        m_link.setParameters(parameters);
    if (later >= m_nextTick) {
        m_backend->step();
        publishTraffic();
        m_nextTick += milliseconds(m_options.tickMs);
        if (m_nextTick < later)
            m_nextTick = later + milliseconds(m_options.tickMs);
    }
    if (later >= m_nextAdapterCheck)
        refreshAdapter();
    advanceUpdate(later);
}

void Service::refreshAdapter()
{
    Adapter adapter = m_options.fakeAdapter ? demoAdapter() : discoverAdapter(HostPaths(), m_interface);
    if (m_options.nicState >= 0)
        adapter.state = static_cast<std::uint32_t>(m_options.nicState);
    if (m_options.vendor >= 0)
        adapter.vendor = static_cast<std::uint32_t>(m_options.vendor);
    m_adapter = adapter;
    publishAdapter();
    m_nextAdapterCheck = Clock::now() + seconds(5);
}

void Service::publishAdapter()
{
    // Only what changed is raised, so an unchanged adapter costs nothing.
    m_link.setStrings({{kStringAdapterName, u16(m_adapter.name)},
                       {kStringIpv4Address, u16(m_adapter.ipv4)},
                       {kStringIpv6Address, u16(m_adapter.ipv6)},
                       {kStringMacAddress, u16(m_adapter.mac)},
                       {kStringGateway, u16(m_adapter.gateway)},
                       {kStringNetMask, u16(m_adapter.netmask)},
                       {kStringAdapterModel, u16(m_adapter.model)}});
    m_link.setParameters({{kParameterAdapterState, m_adapter.state},
                          {kParameterRouterState, m_adapter.router},
                          {kParameterVendor, m_adapter.vendor}});
}

void Service::publishTraffic()
{
    std::vector<servicelink::AppInfo> apps;
    std::vector<servicelink::SiteInfo> sites;
    {
        for (Flow& flow : m_backend->flows()) {
            if (flow.iconPath.empty() && !m_iconDirectory.empty())
                flow.iconPath = ensureIcon(m_iconDirectory, flow.name, flow.site);
            if (flow.site) {
                servicelink::SiteInfo info{};
                fillCommon(info, flow);
                sites.push_back(info);
            } else {
                servicelink::AppInfo info{};
                fillCommon(info, flow);
                info.processClass = flow.processClass;
                apps.push_back(info);
            }
        }
    }
    m_link.publishApplications(apps);
    m_link.publishSites(sites);
    m_link.setParameters({{kParameterUploadSpeed, m_backend->totalUp()},
                          {kParameterDownloadSpeed, m_backend->totalDown()}});
}

void Service::advanceUpdate(Clock::time_point now)
{
    const double sinceStart = duration<double>(now - m_started).count();
    if (m_options.offerUpdate >= 0 && !m_offered && m_updateState == kUpdateNoNewVersion
        && sinceStart >= m_options.offerUpdate) {
        m_offered = true;
        m_updateState = kUpdateNewVersionDetected;
        m_link.setParameters({{kParameterUpdateState, kUpdateNewVersionDetected}});
        say("update: offering version " + std::string(kNewVersion));
    }
    if (m_downloading) {
        const double elapsed = duration<double>(now - m_downloadStarted).count();
        const double fraction = m_options.downloadSeconds > 0
                                    ? std::min(1.0, elapsed / m_options.downloadSeconds)
                                    : 1.0;
        const auto done = static_cast<std::uint32_t>(fraction * m_downloadTotal);
        if (m_options.failUpdate && fraction >= 0.6) {
            m_downloading = false;
            m_updateState = kUpdateNewVersionDownloadFailed;
            m_link.setParameters({{kParameterUpdateProgress, done},
                                  {kParameterUpdateTotal, m_downloadTotal},
                                  {kParameterUpdateState, kUpdateNewVersionDownloadFailed}});
            say("update: download failed");
            return;
        }
        m_link.setParameters({{kParameterUpdateProgress, done}, {kParameterUpdateTotal, m_downloadTotal}});
        if (fraction >= 1.0 && !m_commandPublished) {
            // The command goes out first; the state follows a moment later so
            // the client has the whole command when it learns the download is done.
            const std::string command = writeInstaller(cacheDirectory());
            if (command.empty()) {
                m_downloading = false;
                m_updateState = kUpdateNewVersionDownloadFailed;
                m_link.setParameters({{kParameterUpdateState, kUpdateNewVersionDownloadFailed}});
                say("update: cannot write the installer; download failed");
                return;
            }
            const std::u16string text = u16(command);
            const std::size_t half = std::min<std::size_t>(text.size() / 2, servicelink::kTextUnits);
            m_link.setStrings({{kStringUpdateCommandHead, text.substr(0, half)},
                               {kStringUpdateCommandTail, text.substr(half)}});
            m_commandPublished = true;
            m_commandPublishedAt = now;
        } else if (m_commandPublished && now - m_commandPublishedAt >= milliseconds(500)) {
            m_downloading = false;
            m_updateState = kUpdateNewVersionDownloaded;
            m_link.setParameters({{kParameterUpdateState, kUpdateNewVersionDownloaded}});
            say("update: downloaded");
        }
    }
}

void Service::takeOverParameter(std::uint32_t id, std::uint32_t value)
{
    switch (id) {
    case kParameterRequestedActive:
        m_active = value != 0;
        m_pendingActiveAnswer = true;
        applyPolicy();
        break;
    case kParameterUploadLimit:
        m_upLimit = value;
        applyPolicy();
        break;
    case kParameterDownloadLimit:
        m_downLimit = value;
        applyPolicy();
        break;
    case kParameterUpdateState:
        if (value == kUpdateNewVersionAccepted && m_updateState == kUpdateNewVersionDetected) {
            m_downloading = true;
            m_commandPublished = false;
            m_downloadStarted = Clock::now();
            say("update: accepted, downloading");
        }
        // Checks allowed (again): an offer that stood, or was held back while
        // updates were disabled, is made anew; a command center that starts
        // after the offer writes this first and must not lose it.
        if (value == kUpdateNoNewVersion && (m_updateState == kUpdateDisabled || m_updateState == kUpdateNewVersionDetected))
            m_offered = false;
        m_updateState = value;
        break;
    default:
        break;
    }
    say("took parameter " + std::to_string(id) + " (" + parameterName(id) + ") value "
        + std::to_string(value));
}

void Service::applyPolicy()
{
    std::string error;
    if (m_backend && !m_backend->setPolicy(m_active, m_downLimit, m_upLimit, error))
        say(error);
}

std::int32_t Service::onParameterChanged(std::uint32_t id, std::uint32_t value)
{
    takeOverParameter(id, value);
    return 0;
}

std::int32_t Service::onParameterAdd(std::uint32_t id, std::uint32_t value)
{
    // A client may create a parameter the service never published.
    takeOverParameter(id, value);
    return 0;
}

std::int32_t Service::onAppChanged(std::uint32_t id, const servicelink::AppInfo& info)
{
    m_backend->setChoice(id, false, info.priority, info.isPinned != 0);
    say("took application " + std::to_string(id) + " (" + utf8(servicelink::textFromField(info.name))
        + ") priority " + std::to_string(info.priority) + " pinned " + std::to_string(info.isPinned));
    return 0;
}

std::int32_t Service::onSiteChanged(std::uint32_t id, const servicelink::SiteInfo& info)
{
    m_backend->setChoice(id, true, info.priority, info.isPinned != 0);
    say("took site " + std::to_string(id) + " (" + utf8(servicelink::textFromField(info.name))
        + ") priority " + std::to_string(info.priority) + " pinned " + std::to_string(info.isPinned));
    return 0;
}

std::int32_t Service::onStringChanged(std::uint32_t id, const std::u16string& text)
{
    say("took string " + std::to_string(id) + " text \"" + utf8(text) + "\"");
    return 0;
}

std::int32_t Service::onStringAdd(std::uint32_t id, const std::u16string& text)
{
    return onStringChanged(id, text);
}

int cleanupObjects(const std::string& directory, const Service::Output& output)
{
    const std::string lock = platform::objectPath(directory, kLockName);
    if (platform::FileLock::isHeld(lock)) {
        output("kestrix-service: a service is running on " + directory + "; stop it first");
        return 1;
    }
    int removed = 0;
    for (const char* name :
         {servicelink::kAppRegionName, servicelink::kSiteRegionName, servicelink::kParameterRegionName,
          servicelink::kStringRegionName, servicelink::kLinkMutexName, servicelink::kServiceEventName,
          servicelink::kClientEventName, kLockName}) {
        if (::unlink(platform::objectPath(directory, name).c_str()) == 0)
            ++removed;
    }
    output("kestrix-service: removed " + std::to_string(removed) + " objects from " + directory);
    return 0;
}

} // namespace demo
