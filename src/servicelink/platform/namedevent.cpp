#include "platform/namedevent.h"

#include "platform/posixcall.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

NamedEvent NamedEvent::openOrCreate(const std::string& path, std::string& why, mode_t permissions,
                                    bool enforceMode)
{
    const auto made = posixCall([&] { return ::mkfifo(path.c_str(), permissions); });
    if (!made.ok() && made.error != EEXIST) {
        why = describeFailure("mkfifo", path, made.error);
        return NamedEvent();
    }
    const auto opened = posixCall([&] {
        return ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW);
    });
    if (!opened.ok()) {
        why = opened.error == ELOOP ? "refusing " + path + ": a symbolic link"
                                    : describeFailure("open", path, opened.error);
        return NamedEvent();
    }
    FileDescriptor fd(opened.value);
    if (!checkObject(fd.get(), ObjectType::Fifo, path, why))
        return NamedEvent();
    if (enforceMode && !enforceObjectMode(fd.get(), permissions, path, why))
        return NamedEvent();
    NamedEvent event;
    event.m_fd = std::move(fd);
    event.m_path = path;
    return event;
}

bool NamedEvent::set() noexcept
{
    if (!isValid())
        return false;
    const char byte = 1;
    const auto written = posixCall([&] { return ::write(m_fd.get(), &byte, 1); });
    return written.ok() || written.error == EAGAIN;
}

bool NamedEvent::reset() noexcept
{
    if (!isValid())
        return false;
    bool wasSet = false;
    char buffer[256];
    for (;;) {
        const auto got = posixCall([&] { return ::read(m_fd.get(), buffer, sizeof buffer); });
        if (!got.ok() || got.value == 0)
            return wasSet;
        wasSet = true;
    }
}

NamedEvent::WaitResult NamedEvent::wait(int timeoutMs) noexcept
{
    if (!isValid())
        return WaitResult::Failed;
    pollfd watched{m_fd.get(), POLLIN, 0};
    const auto ready = posixCall([&] { return ::poll(&watched, 1, timeoutMs); });
    if (!ready.ok())
        return WaitResult::Failed;
    if (ready.value == 0)
        return WaitResult::TimedOut;
    return reset() ? WaitResult::Signalled : WaitResult::TimedOut;
}

} // namespace platform
