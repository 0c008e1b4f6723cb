#pragma once

/// @file
/// @brief Where the service link's diagnostics go.
///
/// The link is plain C++ and knows nothing of the program's logging. It hands
/// every diagnostic line to one sink; by default the sink writes the line to
/// stderr, and the program installs its own sink at start.

#include <functional>
#include <string>

namespace platform {

using LogSink = std::function<void(const std::string& line)>;

/// @brief Replaces the sink; an empty function restores the stderr default.
/// Returns the previous sink so a caller (a test) can put it back.
LogSink setLogSink(LogSink sink);

/// @brief Hands one line to the sink. Safe from any thread.
void logLine(const std::string& line);

} // namespace platform
