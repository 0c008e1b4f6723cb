#pragma once

/// @file
/// @brief Copies to and from shared mappings that survive the file shrinking.
///
/// A region is a file mapped far beyond its end. Touching a page past the
/// file's end raises SIGBUS, and a misbehaving peer can shrink the file at
/// any moment. These copies run under a SIGBUS guard: a fault inside them
/// makes the copy report failure instead of ending the process. A SIGBUS
/// anywhere else goes on to the handler that was installed before.

#include <cstddef>

namespace platform {

/// @brief Copies @p size bytes from the mapping at @p source.
/// @return false when the source faulted; @p target is then partly written.
bool guardedRead(void* target, const void* source, std::size_t size) noexcept;

/// @brief Copies @p size bytes into the mapping at @p target.
/// @return false when the target faulted.
bool guardedWrite(void* target, const void* source, std::size_t size) noexcept;

/// @brief Runs @p work(@p context) under the guard.
///
/// @p work must not own anything with a destructor on its stack and must not
/// call back into code that does: on a fault the guard jumps straight out of it.
/// @return false when a SIGBUS ended the work early.
bool guardedRun(void (*work)(void* context), void* context) noexcept;

} // namespace platform
