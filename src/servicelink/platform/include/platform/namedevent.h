#pragma once

/// @file
/// @brief A named auto-reset event: a FIFO in the object directory.
///
/// Setting writes one byte (a full pipe means the event is set already);
/// waiting polls for input and then drains the pipe, so any number of sets
/// before a wait wake it exactly once.

#include "platform/filedescriptor.h"
#include "platform/namedobject.h"

#include <string>

namespace platform {

class NamedEvent {
public:
    enum class WaitResult { Signalled, TimedOut, Failed };

    NamedEvent() noexcept = default;

    /// @brief Opens the FIFO at @p path (O_RDWR | O_NONBLOCK), creating it with
    /// @p permissions when absent (and setting exactly them with
    /// @p enforceMode). Invalid result, reason in @p why, on failure.
    static NamedEvent openOrCreate(const std::string& path, std::string& why,
                                   mode_t permissions = kDefaultObjectMode,
                                   bool enforceMode = false);

    bool isValid() const noexcept { return m_fd.isValid(); }

    /// @brief The descriptor to watch for readability (for an event loop).
    int fd() const noexcept { return m_fd.get(); }

    /// @brief Signals the event. @return false only when the write failed for a
    /// reason other than the event being set already.
    bool set() noexcept;

    /// @brief Waits up to @p timeoutMs milliseconds (negative: forever) for the
    /// event and resets it.
    WaitResult wait(int timeoutMs) noexcept;

    /// @brief Resets the event without waiting; true when it was set.
    bool reset() noexcept;

    void close() noexcept { m_fd.reset(); }

private:
    FileDescriptor m_fd;
    std::string m_path;
};

} // namespace platform
