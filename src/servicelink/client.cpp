#include "servicelink/velcomm.h"

#include "servicelink/protocol.h"

namespace servicelink {

Client::Client() : VelComm(false) {}

Client::~Client() = default;

void Client::registered() noexcept
{
    // A heartbeat that still reads 0 right after registration counts as unchanged.
    m_alive = false;
    m_pollsSinceChange = 0;
    m_lastHeartbeat = 0;
}

std::int32_t Client::poll()
{
    if (!isConnected())
        return -1;
    platform::NamedMutexLocker lock(linkMutex());
    Callback* const report = callback();

    const std::int32_t pulled = pull();
    if (pulled == -1)
        return -1;

    std::uint32_t requested = 0;
    std::uint32_t actual = 0;
    if (pulled == 1) {
        if (!activeStateValues(requested, actual))
            return -1;
        if (report != nullptr)
            report->onActiveStateChanged(requested, actual, m_alive);
    }

    std::uint32_t beat = 0;
    if (controlCenterGetParameter(kParameterHeartbeat, beat) != 0)
        return -1;
    const std::uint32_t now = currentTick();

    if (beat != m_lastHeartbeat) {
        if (!m_alive) {
            // Nothing is stored when this fails, so the next poll tries again.
            if (!activeStateValues(requested, actual))
                return -1;
            if (report != nullptr)
                report->onActiveStateChanged(requested, actual, true);
            m_alive = true;
        }
        m_lastHeartbeat = beat;
        m_lastHeartbeatTick = now;
        m_pollsSinceChange = 0;
    }

    if (!m_alive)
        return 0;
    if (m_pollsSinceChange < 10)
        ++m_pollsSinceChange;
    if (m_pollsSinceChange != 10)
        return 0;
    // u32 arithmetic: correct across the tick's wrap-around.
    const std::uint32_t elapsed = now - m_lastHeartbeatTick;
    if (elapsed < 100)
        return 0;
    if (!activeStateValues(requested, actual))
        return -1;
    if (report != nullptr)
        report->onActiveStateChanged(requested, actual, false);
    m_alive = false;
    return 0;
}

} // namespace servicelink
