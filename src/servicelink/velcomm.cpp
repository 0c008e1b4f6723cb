#include "servicelink/velcomm.h"

#include "linktables.h"
#include "servicelink/objectnames.h"

#include "platform/log.h"
#include "platform/namedobject.h"

namespace servicelink {
namespace {

// Receives the reports of a link registered without a callback.
struct SilentCallback final : Callback {};

} // namespace

// ---------------------------------------------------------------------------
// Lifecycle
// ---------------------------------------------------------------------------

VelComm::VelComm(bool serviceSide)
    : m_tables(std::make_unique<detail::Tables>()), m_serviceSide(serviceSide)
{
}

VelComm::~VelComm()
{
    // Direct call: in a destructor the virtual slot is this class's anyway.
    VelComm::vlcommUnregister();
}

void VelComm::setTickSource(platform::TickSource source, void* context) noexcept
{
    m_tick = source != nullptr ? source : platform::monotonicTick;
    m_tickContext = context;
}

std::string VelComm::objectDirectory() const
{
    return m_objectDirectory.empty() ? platform::objectDirectory() : m_objectDirectory;
}

void VelComm::releaseRegions() noexcept
{
    m_tables->forEach([](auto& table) { table.release(); });
}

void VelComm::logRegistrationProblem(const std::string& line)
{
    // A missing service is retried every 200 ms: say why once, not each time.
    if (line == m_lastRegistrationProblem)
        return;
    m_lastRegistrationProblem = line;
    platform::logLine(line);
}

std::int32_t VelComm::vlcommRegister(Callback* callback, platform::NamedEvent** serviceEvent)
{
    vlcommUnregister();

    const std::string directory = objectDirectory();
    // What this side creates gets the creator's mode (set by a service), or 0600.
    const mode_t mode = m_creationMode != 0 ? m_creationMode : platform::kDefaultObjectMode;
    std::string why;
    m_linkMutex = platform::NamedMutex::openOrCreate(platform::objectPath(directory, kLinkMutexName),
                                                     why, mode);
    if (!m_linkMutex.isValid()) {
        logRegistrationProblem("registration failed: " + why);
        return -1;
    }
    m_serviceEvent = platform::NamedEvent::openOrCreate(
        platform::objectPath(directory, kServiceEventName), why, mode);
    if (!m_serviceEvent.isValid())
        logRegistrationProblem("service event: " + why);
    m_clientEvent = platform::NamedEvent::openOrCreate(
        platform::objectPath(directory, kClientEventName), why, mode);
    if (!m_clientEvent.isValid())
        logRegistrationProblem("client event: " + why);

    m_tables->forEach([](auto& table) {
        table.state.lastPublished = 0;
        table.state.lastGeneration = 0;
    });

    platform::NamedMutexLocker lock(m_linkMutex);

    if (serviceEvent != nullptr)
        *serviceEvent = &m_serviceEvent;
    // The client wakes the service; a service-side link wakes the client's
    // side instead of itself.
    m_notify = m_serviceSide ? &m_serviceEvent : &m_clientEvent;

    const char* const names[] = {kAppRegionName, kSiteRegionName, kParameterRegionName,
                                 kStringRegionName};
    bool mapped = true;
    int index = 0;
    m_tables->forEach([&](auto& table) {
        if (!mapped)
            return;   // the regions after a missing one are not attempted
        table.release();
        const std::string path = platform::objectPath(directory, names[index++]);
        table.mapping = platform::SharedRegion::open(path, why);
        mapped = table.mapping.isValid();
    });
    if (!mapped) {
        logRegistrationProblem("registration failed: " + why);
        return -1;
    }

    m_tables->forEach([](auto& table) {
        table.state.header = reinterpret_cast<RegionHeader*>(table.mapping.base());
    });
    m_callback = callback;
    m_connected = true;
    registered();
    if (!m_lastRegistrationProblem.empty()) {
        platform::logLine("registered, after: " + m_lastRegistrationProblem);
        m_lastRegistrationProblem.clear();
    }
    return 0;
}

std::int32_t VelComm::vlcommUnregister()
{
    m_linkMutex.close();
    m_serviceEvent.close();
    m_clientEvent.close();
    m_notify = nullptr;
    releaseRegions();
    m_connected = false;
    return 0;
}

bool VelComm::activeStateValues(std::uint32_t& requested, std::uint32_t& actual) const
{
    return controlCenterGetParameter(kParameterRequestedActive, requested) == 0
           && controlCenterGetParameter(kParameterActualActive, actual) == 0;
}

// ---------------------------------------------------------------------------
// Mirror synchronisation
// ---------------------------------------------------------------------------

detail::LinkSide VelComm::side() noexcept
{
    static SilentCallback silent;
    return {m_callback != nullptr ? *m_callback : silent, m_serviceSide, m_notify};
}

std::int32_t VelComm::pull()
{
    if (!m_connected)
        return -1;
    platform::NamedMutexLocker lock(m_linkMutex);
    return detail::pullTables(*m_tables, side());
}

std::int32_t VelComm::publish()
{
    if (!m_connected)
        return -1;
    platform::NamedMutexLocker lock(m_linkMutex);
    return detail::publishTables(*m_tables, side()) ? 0 : -1;
}

std::int32_t VelComm::synchronise()
{
    if (!m_connected)
        return -1;
    platform::NamedMutexLocker lock(m_linkMutex);
    const std::int32_t pulled = pull();
    if (pulled == -1)
        return -1;
    if (publish() == -1)
        return -1;
    return pulled;
}

} // namespace servicelink
