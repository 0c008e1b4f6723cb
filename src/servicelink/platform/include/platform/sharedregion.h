#pragma once

/// @file
/// @brief A named shared-memory region: a file in the object directory mapped
/// with a fixed view length and grown ("committed") in prefixes.

#include "platform/filedescriptor.h"
#include "platform/namedobject.h"

#include <cstdint>
#include <string>

namespace platform {

/// @brief Length of every region view: the whole 32-bit reservation.
constexpr std::uint64_t kRegionViewLength = 0xFFFFFFFFull;

/// @brief Smallest valid region file: one region header.
constexpr std::uint64_t kRegionMinimumSize = 16;

/// @brief An open and mapped region. Move-only; unmaps and closes on destruction.
///
/// The view is MAP_SHARED | MAP_NORESERVE over kRegionViewLength bytes; only
/// the bytes below the file's size may be touched, and a peer may shrink the
/// file at any time, so every access to the view goes through the fault guard.
class SharedRegion {
public:
    SharedRegion() noexcept = default;
    ~SharedRegion() { release(); }
    SharedRegion(SharedRegion&& other) noexcept;
    SharedRegion& operator=(SharedRegion&& other) noexcept;
    SharedRegion(const SharedRegion&) = delete;
    SharedRegion& operator=(const SharedRegion&) = delete;

    /// @brief Client side: opens an existing region read-write and maps it.
    ///
    /// Fails (invalid result, reason in @p why) when the file is absent, is not
    /// a safe object (see checkObject()), is shorter than a region header, or
    /// cannot be mapped.
    static SharedRegion open(const std::string& path, std::string& why);

    /// @brief Service side: opens the region, creating it with @p permissions
    /// when absent, gives it at least a header's length and maps it.
    static SharedRegion create(const std::string& path, mode_t permissions, std::string& why);

    bool isValid() const noexcept { return m_base != nullptr; }
    std::uint8_t* base() const noexcept { return m_base; }
    int fd() const noexcept { return m_fd.get(); }
    const std::string& path() const noexcept { return m_path; }

    /// @brief The file's size as last learnt (at open, at commit, or by refreshSize()).
    std::uint64_t knownSize() const noexcept { return m_knownSize; }

    /// @brief Reads the file's size again; returns it, or 0 when fstat fails.
    std::uint64_t refreshSize() noexcept;

    /// @brief Makes the first @p length bytes usable: grows the file to @p length
    /// when shorter (ftruncate, then posix_fallocate over the new range, undone
    /// when the reservation fails). A file never shrinks.
    /// @return 0, or the errno of the failure (ENOSPC, EFBIG, ...).
    int commit(std::uint64_t length) noexcept;

    /// @brief Unmaps and closes; the object becomes invalid.
    void release() noexcept;

private:
    static SharedRegion map(FileDescriptor fd, const std::string& path, std::string& why);

    FileDescriptor m_fd;
    std::uint8_t* m_base = nullptr;
    std::uint64_t m_knownSize = 0;
    std::string m_path;
};

} // namespace platform
