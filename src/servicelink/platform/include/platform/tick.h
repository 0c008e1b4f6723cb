#pragma once

/// @file
/// @brief The millisecond tick: CLOCK_MONOTONIC in milliseconds, truncated to
/// 32 bits, so it wraps every 49.7 days like the counter it stands for.

#include <cstdint>

namespace platform {

/// @brief A source of ticks; the link takes one so tests can step and wrap it.
using TickSource = std::uint32_t (*)(void* context);

/// @brief The monotonic millisecond tick (the context is unused).
std::uint32_t monotonicTick(void* context = nullptr) noexcept;

} // namespace platform
