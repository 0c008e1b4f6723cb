#include "platform/filelock.h"

#include "platform/namedobject.h"
#include "platform/posixcall.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace platform {

FileLock FileLock::tryAcquire(const std::string& path, std::string& why)
{
    FileDescriptor fd = openObjectFile(path, OpenMode::OpenOrCreate, kDefaultObjectMode, why);
    if (!fd.isValid())
        return FileLock();
    const auto locked = posixCall([&] { return ::flock(fd.get(), LOCK_EX | LOCK_NB); });
    if (!locked.ok()) {
        why = locked.error == EWOULDBLOCK ? path + " is held by another process"
                                          : describeFailure("flock", path, locked.error);
        return FileLock();
    }
    FileLock lock;
    lock.m_fd = std::move(fd);
    return lock;
}

bool FileLock::isHeld(const std::string& path)
{
    const auto opened = posixCall([&] {
        return ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    });
    if (!opened.ok())
        return false;
    FileDescriptor fd(opened.value);
    const auto locked = posixCall([&] { return ::flock(fd.get(), LOCK_SH | LOCK_NB); });
    return !locked.ok() && locked.error == EWOULDBLOCK;
}

bool FileLock::write(const std::string& content) noexcept
{
    if (!isValid())
        return false;
    if (!posixCall([&] { return ::ftruncate(m_fd.get(), 0); }).ok())
        return false;
    const auto written = posixCall([&] {
        return ::pwrite(m_fd.get(), content.data(), content.size(), 0);
    });
    return written.ok() && static_cast<std::size_t>(written.value) == content.size();
}

} // namespace platform
