#include "platform/posixcall.h"

#include <cstring>

namespace platform {

std::string errorText(int error)
{
    char buffer[256];
    // The GNU strerror_r returns the text, which may or may not be buffer.
    const char* text = strerror_r(error, buffer, sizeof buffer);
    return text;
}

std::string describeFailure(const char* operation, const std::string& path, int error)
{
    std::string line = operation;
    line += ' ';
    line += path;
    line += ": ";
    line += errorText(error);
    return line;
}

} // namespace platform
