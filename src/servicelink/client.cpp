#include "servicelink/velcomm.h"

#include "servicelink/objectnames.h"

#include "platform/log.h"

namespace servicelink {

Client::Client()
{
    m_serviceSide = false;
}

Client::~Client() = default;

std::int32_t Client::poll()
{
    if (!m_connected)
        return -1;
    platform::NamedMutexLocker lock(linkMutex());
    Callback* callback = m_callback;

    const std::int32_t pulled = pull();
    if (pulled == -1)
        return -1;

    std::uint32_t requested = 0;
    std::uint32_t actual = 0;
    if (pulled == 1) {
        if (!activeStateValues(requested, actual))
            return -1;
        if (callback != nullptr)
            callback->onActiveStateChanged(requested, actual, m_alive);
    }

    const auto heartbeat = m_parameters.mirror.find(kParameterHeartbeat);
    if (heartbeat == m_parameters.mirror.end())
        return -1;
    const std::uint32_t beat = heartbeat->second.payload.value;
    const std::uint32_t now = currentTick();

    if (beat != m_lastHeartbeat) {
        if (!m_alive) {
            // Nothing is stored when this fails, so the next poll tries again.
            if (!activeStateValues(requested, actual))
                return -1;
            if (callback != nullptr)
                callback->onActiveStateChanged(requested, actual, true);
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
    if (callback != nullptr)
        callback->onActiveStateChanged(requested, actual, false);
    m_alive = false;
    return 0;
}

} // namespace servicelink
