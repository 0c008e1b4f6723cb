#pragma once

/// @file
/// @brief The link mutex: a process-shared, recursive mutex found by name.
///
/// Between processes it is an exclusive flock() on a regular file in the
/// object directory; the kernel drops the lock of a process that dies, so an
/// abandoned mutex is simply acquired by the next waiter. Within a process
/// every handle of the same file shares one state: one open file
/// description, one recursive mutex for exclusion between threads and
/// recursion of the owning thread, and one depth count. A thread that holds
/// the mutex through one handle therefore takes it again through another
/// without blocking.

#include "platform/namedobject.h"

#include <memory>
#include <string>

namespace platform {

namespace detail {
struct MutexState;
}

/// @brief One handle of a named mutex. Move-only; closing drops the handle,
/// not the lock of another handle of the same state.
class NamedMutex {
public:
    NamedMutex() noexcept;
    ~NamedMutex();
    NamedMutex(NamedMutex&&) noexcept;
    NamedMutex& operator=(NamedMutex&&) noexcept;
    NamedMutex(const NamedMutex&) = delete;
    NamedMutex& operator=(const NamedMutex&) = delete;

    /// @brief Opens the mutex file at @p path, creating it with @p permissions
    /// when absent (and setting exactly them with @p enforceMode). Invalid
    /// result, with the reason in @p why, on failure.
    static NamedMutex openOrCreate(const std::string& path, std::string& why,
                                   mode_t permissions = kDefaultObjectMode,
                                   bool enforceMode = false);

    bool isValid() const noexcept { return m_state != nullptr; }

    /// @brief Blocks, without time-out, until this thread owns the mutex.
    void lock() noexcept;

    /// @brief Releases one level of ownership; the flock is dropped at the last.
    void unlock() noexcept;

    /// @brief How many times the calling thread holds the mutex (0 when it does
    /// not own it).
    int depthForCurrentThread() const noexcept;

    /// @brief Drops this handle; the object becomes invalid.
    void close() noexcept;

private:
    std::shared_ptr<detail::MutexState> m_state;
};

/// @brief Holds a NamedMutex for a scope.
class NamedMutexLocker {
public:
    explicit NamedMutexLocker(NamedMutex& mutex) noexcept : m_mutex(mutex) { m_mutex.lock(); }
    ~NamedMutexLocker() { m_mutex.unlock(); }
    NamedMutexLocker(const NamedMutexLocker&) = delete;
    NamedMutexLocker& operator=(const NamedMutexLocker&) = delete;

private:
    NamedMutex& m_mutex;
};

} // namespace platform
