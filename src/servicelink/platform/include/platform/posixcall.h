#pragma once

/// @file
/// @brief The one way the platform layer calls into POSIX.
///
/// Every system call of the layer goes through posixCall(): it retries the
/// call while it fails with EINTR and hands back the result together with
/// the errno of the failure, so no caller reads errno itself.

#include <cerrno>
#include <string>
#include <utility>

namespace platform {

/// @brief The outcome of one system call: its return value and, when it failed, errno.
template <typename T>
struct SysResult {
    T value{};
    int error = 0;   ///< errno of the failure, 0 on success

    bool ok() const noexcept { return error == 0; }
};

/// @brief Runs @p call until it does not fail with EINTR.
///
/// A call fails when it returns -1 (the usual POSIX convention); errno is
/// captured right after the failing call.
template <typename Call>
auto posixCall(Call&& call) noexcept -> SysResult<decltype(call())>
{
    for (;;) {
        errno = 0;
        auto value = call();
        if (value == -1) {
            const int error = errno != 0 ? errno : EIO;
            if (error == EINTR)
                continue;
            return {value, error};
        }
        return {value, 0};
    }
}

/// @brief Runs @p call, which returns an error number (0 on success) instead of
/// setting errno, as posix_fallocate does; retries EINTR.
template <typename Call>
SysResult<int> posixCallReturningError(Call&& call) noexcept
{
    for (;;) {
        const int error = call();
        if (error == EINTR)
            continue;
        return {error == 0 ? 0 : -1, error};
    }
}

/// @brief Text of an errno value ("No such file or directory"), thread-safe.
std::string errorText(int error);

/// @brief One log text for a failed operation on a named object:
/// "<operation> <path>: <errno text>". The only place errno becomes text.
std::string describeFailure(const char* operation, const std::string& path, int error);

} // namespace platform
