#pragma once

/// @file
/// @brief An exclusive lock on a file for the lifetime of a process, taken
/// without waiting: how a program makes sure it runs once per directory.

#include "platform/filedescriptor.h"

#include <string>

namespace platform {

class FileLock {
public:
    FileLock() noexcept = default;

    /// @brief Opens (creating with mode 0600) the file at @p path and locks it
    /// exclusively without waiting. Invalid result, with the reason in @p why
    /// ("held by another process" when someone has it), on failure.
    static FileLock tryAcquire(const std::string& path, std::string& why);

    /// @brief Whether another process holds the lock on @p path now.
    static bool isHeld(const std::string& path);

    bool isValid() const noexcept { return m_fd.isValid(); }

    /// @brief Replaces the file's content (e.g. with the owner's pid).
    bool write(const std::string& content) noexcept;

private:
    FileDescriptor m_fd;
};

} // namespace platform
