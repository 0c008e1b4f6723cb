#include "traffic.h"

#include "bandwidth.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace demo {
namespace {

struct Profile {
    const char* name;
    std::uint32_t processClass;
    double down;   // kbit/s while active
    double up;
    double activity;
};

// Ordinary applications first, the four system applications at the end of
// the default set.
constexpr Profile kApps[] = {
    {"firefox", 0, 4500, 250, 0.8},      {"steam.exe", 0, 60000, 600, 0.35},
    {"discord", 0, 350, 300, 0.7},       {"spotify", 0, 320, 15, 0.9},
    {"zoom", 0, 2600, 1900, 0.45},       {"git", 0, 9000, 700, 0.2},
    {"thunderbird", 0, 600, 120, 0.3},   {"chromium", 0, 3800, 300, 0.6},
    {"obs", 0, 800, 6000, 0.3},          {"dropbox", 0, 2000, 1500, 0.4},
    {"slack", 0, 250, 80, 0.7},          {"teams.exe", 0, 1800, 1400, 0.35},
    {"telegram-desktop", 0, 400, 150, 0.5}, {"code", 0, 900, 120, 0.4},
    {"qbittorrent", 0, 25000, 8000, 0.5}, {"vlc", 0, 5000, 30, 0.3},
    {"epicgameslauncher.exe", 0, 40000, 400, 0.25}, {"minecraft", 0, 600, 200, 0.5},
    {"nextcloud", 0, 1500, 1200, 0.4},   {"signal-desktop", 0, 200, 120, 0.5},
    {"systemd-resolved", 1, 40, 20, 0.9}, {"NetworkManager", 1, 20, 10, 0.6},
    {"apt", 2, 12000, 150, 0.15},        {"sshd", 3, 150, 300, 0.4},
};

constexpr Profile kSites[] = {
    {"youtube.com", 0, 8000, 200, 0.6},   {"twitch.tv", 0, 6000, 100, 0.4},
    {"github.com", 0, 1200, 300, 0.5},    {"wikipedia.org", 0, 400, 30, 0.5},
    {"netflix.com", 0, 15000, 150, 0.35}, {"debian.org", 0, 3000, 50, 0.2},
    {"reddit.com", 0, 900, 80, 0.5},      {"stackoverflow.com", 0, 500, 40, 0.4},
};

constexpr std::size_t kNamedApps = sizeof kApps / sizeof kApps[0];
constexpr std::size_t kNamedSites = sizeof kSites / sizeof kSites[0];
constexpr std::size_t kSystemApps = 4;   // the last four of kApps

} // namespace

TrafficModel::TrafficModel(const TrafficSettings& settings)
    : m_settings(settings), m_random(settings.seed)
{
    const std::size_t apps = static_cast<std::size_t>(std::max(0, settings.apps));
    // The default set: ordinary applications, then the system applications;
    // a larger set adds generated workers.
    std::vector<std::size_t> chosen;
    const std::size_t ordinary = kNamedApps - kSystemApps;
    const std::size_t systemCount = std::min(kSystemApps, apps / 6 + (apps >= 4 ? 1 : 0));
    for (std::size_t i = 0; i < kSystemApps && chosen.size() < systemCount; ++i)
        chosen.push_back(ordinary + i);
    for (std::size_t i = 0; chosen.size() < apps; ++i)
        chosen.push_back(i < ordinary ? i : kNamedApps + (i - ordinary));
    std::sort(chosen.begin(), chosen.end());
    for (std::size_t profile : chosen)
        m_flows.push_back(makeFlow(profile, false));
    for (std::size_t i = 0; i < static_cast<std::size_t>(std::max(0, settings.sites)); ++i)
        m_flows.push_back(makeFlow(i, true));
    // Named applications not running now may start later.
    for (std::size_t i = 0; i < ordinary; ++i) {
        if (std::find(chosen.begin(), chosen.end(), i) == chosen.end())
            m_absentProfiles.push_back(i);
    }
    for (Flow& flow : m_flows)
        wantedFor(flow);
}

double TrafficModel::uniform(double from, double to)
{
    return std::uniform_real_distribution<double>(from, to)(m_random);
}

bool TrafficModel::chance(double probability)
{
    return uniform(0, 1) < probability;
}

Flow TrafficModel::makeFlow(std::size_t profile, bool site)
{
    Flow flow;
    flow.site = site;
    flow.profile = profile;
    if (site) {
        flow.id = m_nextSiteId++;
        if (profile < kNamedSites) {
            const Profile& p = kSites[profile];
            flow.name = p.name;
            flow.typicalDown = p.down;
            flow.typicalUp = p.up;
            flow.activity = p.activity;
        } else {
            char name[48];
            std::snprintf(name, sizeof name, "cdn-%03zu.example.net", profile);
            flow.name = name;
            flow.typicalDown = uniform(200, 6000);
            flow.typicalUp = uniform(10, 300);
            flow.activity = uniform(0.2, 0.7);
        }
    } else {
        flow.id = m_nextAppId++;
        if (profile < kNamedApps) {
            const Profile& p = kApps[profile];
            flow.name = p.name;
            flow.processClass = p.processClass;
            flow.typicalDown = p.down;
            flow.typicalUp = p.up;
            flow.activity = p.activity;
        } else {
            char name[48];
            std::snprintf(name, sizeof name, "worker-%04zu", profile - kNamedApps + 1);
            flow.name = name;
            flow.typicalDown = uniform(50, 5000);
            flow.typicalUp = uniform(10, 1500);
            flow.activity = uniform(0.1, 0.8);
        }
    }
    // Priorities spread over the four levels; system applications start high.
    flow.priority = flow.processClass != 0 ? 2 : 1 + static_cast<std::uint32_t>(m_random() % 4);
    flow.phase = chance(flow.activity) ? 1 : 0;
    return flow;
}

void TrafficModel::wantedFor(Flow& flow)
{
    double factor = 0;
    switch (flow.phase) {
    case 0:   // idle: now and then a trickle
        factor = chance(0.3) ? uniform(0.0, 0.04) : 0;
        break;
    case 1:
        factor = uniform(0.55, 1.45);
        break;
    default:
        factor = uniform(3.0, 7.0);
        break;
    }
    flow.wantedDown = static_cast<std::uint32_t>(std::lround(flow.typicalDown * factor));
    flow.wantedUp = static_cast<std::uint32_t>(std::lround(flow.typicalUp * factor * uniform(0.7, 1.3)));
}

void TrafficModel::step()
{
    for (Flow& flow : m_flows) {
        if (flow.phase == 2) {
            if (--flow.phaseLeft <= 0)
                flow.phase = 1;
        } else if (flow.phase == 1) {
            if (chance((1 - flow.activity) * 0.25))
                flow.phase = 0;
            else if (chance(0.04)) {
                flow.phase = 2;
                flow.phaseLeft = 2 + static_cast<int>(m_random() % 5);
            }
        } else if (chance(flow.activity * 0.25)) {
            flow.phase = 1;
        }
        wantedFor(flow);
    }

    // Arrivals and departures: now and then by default, often with churn.
    const double leave = m_settings.churn ? 0.12 : 0.004;
    const double arrive = m_settings.churn ? 0.5 : 0.05;
    std::vector<Flow> staying;
    staying.reserve(m_flows.size());
    for (Flow& flow : m_flows) {
        const bool mayLeave = !flow.site && flow.processClass == 0 && !flow.pinned;
        if (mayLeave && chance(leave)) {
            m_absentProfiles.push_back(flow.profile);   // it may come back later
            continue;
        }
        staying.push_back(std::move(flow));
    }
    m_flows.swap(staying);
    // Arrivals replace departures, so the set stays around its size: each
    // missing place is taken again with the arrival chance.
    const auto running = std::count_if(m_flows.begin(), m_flows.end(), [](const Flow& f) { return !f.site; });
    for (auto missing = m_settings.apps - running; missing > 0 && !m_absentProfiles.empty(); --missing) {
        if (!chance(arrive))
            continue;
        const std::size_t pick = static_cast<std::size_t>(m_random() % m_absentProfiles.size());
        const std::size_t profile = m_absentProfiles[pick];
        m_absentProfiles.erase(m_absentProfiles.begin() + static_cast<long>(pick));
        Flow flow = makeFlow(profile, false);
        flow.phase = 1;
        wantedFor(flow);
        // Keep applications before sites, in the order they arrived.
        const auto firstSite = std::find_if(m_flows.begin(), m_flows.end(),
                                            [](const Flow& f) { return f.site; });
        m_flows.insert(firstSite, std::move(flow));
    }
}

void TrafficModel::applyLimits(bool prioritisation, std::uint32_t downLimit, std::uint32_t upLimit)
{
    std::vector<Demand> down, up;
    down.reserve(m_flows.size());
    up.reserve(m_flows.size());
    // Off: one fair class at the limit, every flow weighing the same.
    for (const Flow& flow : m_flows) {
        const std::uint32_t priority = prioritisation ? flow.priority : 3;
        down.push_back({priority, flow.wantedDown});
        up.push_back({priority, flow.wantedUp});
    }
    const auto grantedDown = shareBandwidth(down, downLimit);
    const auto grantedUp = shareBandwidth(up, upLimit);
    for (std::size_t i = 0; i < m_flows.size(); ++i) {
        m_flows[i].down = grantedDown[i];
        m_flows[i].up = grantedUp[i];
    }
}

Flow* TrafficModel::find(std::uint32_t id, bool site)
{
    for (Flow& flow : m_flows) {
        if (flow.id == id && flow.site == site)
            return &flow;
    }
    return nullptr;
}

std::uint32_t TrafficModel::totalDown() const
{
    std::uint64_t sum = 0;
    for (const Flow& flow : m_flows)
        sum += flow.down;
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(sum, 0xFFFFFFFFu));
}

std::uint32_t TrafficModel::totalUp() const
{
    std::uint64_t sum = 0;
    for (const Flow& flow : m_flows)
        sum += flow.up;
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(sum, 0xFFFFFFFFu));
}

} // namespace demo
