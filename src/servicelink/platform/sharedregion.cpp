#include "platform/sharedregion.h"

#include "platform/posixcall.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

bool fileSize(int fd, std::uint64_t& size, int& error) noexcept
{
    struct stat info {};
    const auto status = posixCall([&] { return ::fstat(fd, &info); });
    if (!status.ok()) {
        error = status.error;
        return false;
    }
    size = static_cast<std::uint64_t>(info.st_size);
    return true;
}

} // namespace

SharedRegion::SharedRegion(SharedRegion&& other) noexcept
    : m_fd(std::move(other.m_fd))
    , m_base(other.m_base)
    , m_knownSize(other.m_knownSize)
    , m_path(std::move(other.m_path))
{
    other.m_base = nullptr;
    other.m_knownSize = 0;
}

SharedRegion& SharedRegion::operator=(SharedRegion&& other) noexcept
{
    if (this != &other) {
        release();
        m_fd = std::move(other.m_fd);
        m_base = other.m_base;
        m_knownSize = other.m_knownSize;
        m_path = std::move(other.m_path);
        other.m_base = nullptr;
        other.m_knownSize = 0;
    }
    return *this;
}

SharedRegion SharedRegion::open(const std::string& path, std::string& why)
{
    FileDescriptor fd = openObjectFile(path, OpenMode::OpenExisting, kDefaultObjectMode, why);
    if (!fd.isValid())
        return SharedRegion();
    return map(std::move(fd), path, why);
}

SharedRegion SharedRegion::create(const std::string& path, mode_t permissions, std::string& why)
{
    // The creator's mode is the one it was told, whatever the umask, also
    // for a file that an earlier run left behind.
    FileDescriptor fd = openObjectFile(path, OpenMode::OpenOrCreate, permissions, why, true);
    if (!fd.isValid())
        return SharedRegion();
    std::uint64_t size = 0;
    int error = 0;
    if (!fileSize(fd.get(), size, error)) {
        why = describeFailure("fstat", path, error);
        return SharedRegion();
    }
    if (size < kRegionMinimumSize) {
        const auto grown = posixCall([&] {
            return ::ftruncate(fd.get(), static_cast<off_t>(kRegionMinimumSize));
        });
        if (!grown.ok()) {
            why = describeFailure("ftruncate", path, grown.error);
            return SharedRegion();
        }
    }
    return map(std::move(fd), path, why);
}

SharedRegion SharedRegion::map(FileDescriptor fd, const std::string& path, std::string& why)
{
    std::uint64_t size = 0;
    int error = 0;
    if (!fileSize(fd.get(), size, error)) {
        why = describeFailure("fstat", path, error);
        return SharedRegion();
    }
    if (size < kRegionMinimumSize) {
        why = "refusing " + path + ": " + std::to_string(size)
              + " bytes, shorter than a region header";
        return SharedRegion();
    }
    void* base = ::mmap(nullptr, kRegionViewLength, PROT_READ | PROT_WRITE,
                        MAP_SHARED | MAP_NORESERVE, fd.get(), 0);
    if (base == MAP_FAILED) {
        why = describeFailure("mmap", path, errno);
        return SharedRegion();
    }
    SharedRegion region;
    region.m_fd = std::move(fd);
    region.m_base = static_cast<std::uint8_t*>(base);
    region.m_knownSize = size;
    region.m_path = path;
    return region;
}

std::uint64_t SharedRegion::refreshSize() noexcept
{
    if (!m_fd.isValid())
        return 0;
    std::uint64_t size = 0;
    int error = 0;
    if (!fileSize(m_fd.get(), size, error))
        return 0;
    m_knownSize = size;
    return size;
}

int SharedRegion::commit(std::uint64_t length) noexcept
{
    if (!isValid())
        return EBADF;
    if (length > kRegionViewLength)
        return ENOMEM;
    std::uint64_t size = 0;
    int error = 0;
    if (!fileSize(m_fd.get(), size, error))
        return error;
    if (size >= length) {
        m_knownSize = size;
        return 0;
    }
    const auto grown = posixCall([&] {
        return ::ftruncate(m_fd.get(), static_cast<off_t>(length));
    });
    if (!grown.ok())
        return grown.error;
    // Reserve the new pages now, so that a full file system fails here and
    // not with SIGBUS on a later write into a hole.
    const auto reserved = posixCallReturningError([&] {
        return ::posix_fallocate(m_fd.get(), static_cast<off_t>(size),
                                 static_cast<off_t>(length - size));
    });
    if (!reserved.ok()) {
        // Take back the unreserved tail; nothing references it, since every
        // writer holds the link mutex and commits before it writes a count.
        posixCall([&] { return ::ftruncate(m_fd.get(), static_cast<off_t>(size)); });
        m_knownSize = size;
        return reserved.error;
    }
    m_knownSize = length;
    return 0;
}

void SharedRegion::release() noexcept
{
    if (m_base != nullptr) {
        ::munmap(m_base, kRegionViewLength);
        m_base = nullptr;
    }
    m_fd.reset();
    m_knownSize = 0;
}

} // namespace platform
