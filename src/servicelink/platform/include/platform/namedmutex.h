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

    /// @brief Takes the mutex if this thread gets it within @p timeoutMs
    /// milliseconds (at once when it owns it already); a negative time-out
    /// waits as lock() does. @return whether this thread now owns it.
    bool tryLockFor(int timeoutMs) noexcept;

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

/// @brief Holds a NamedMutex for a scope, if it got it.
class NamedMutexLocker {
public:
    /// @param timeoutMs how long to wait for the mutex; negative: without limit.
    explicit NamedMutexLocker(NamedMutex& mutex, int timeoutMs = -1) noexcept
        : m_mutex(mutex), m_owns(mutex.tryLockFor(timeoutMs))
    {
    }
    ~NamedMutexLocker()
    {
        if (m_owns)
            m_mutex.unlock();
    }
    NamedMutexLocker(const NamedMutexLocker&) = delete;
    NamedMutexLocker& operator=(const NamedMutexLocker&) = delete;

    /// @brief Whether the mutex was got (always, when waiting without limit).
    bool ownsLock() const noexcept { return m_owns; }

private:
    NamedMutex& m_mutex;
    const bool m_owns;
};

} // namespace platform
