#include "platform/log.h"

#include <cstdio>
#include <mutex>

namespace platform {
namespace {

std::mutex& sinkLock()
{
    static std::mutex lock;
    return lock;
}

LogSink& currentSink()
{
    static LogSink sink;
    return sink;
}

void writeToStderr(const std::string& line)
{
    std::fprintf(stderr, "servicelink: %s\n", line.c_str());
}

} // namespace

LogSink setLogSink(LogSink sink)
{
    std::lock_guard<std::mutex> guard(sinkLock());
    LogSink previous = std::move(currentSink());
    currentSink() = std::move(sink);
    return previous;
}

void logLine(const std::string& line)
{
    LogSink sink;
    {
        std::lock_guard<std::mutex> guard(sinkLock());
        sink = currentSink();
    }
    // Called outside the lock, so a sink may itself log or swap the sink.
    if (sink)
        sink(line);
    else
        writeToStderr(line);
}

} // namespace platform
