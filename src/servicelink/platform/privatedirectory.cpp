#include "platform/privatedirectory.h"

#include "platform/log.h"
#include "platform/namedobject.h"
#include "platform/posixcall.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

namespace platform {

PrivateDirectory::PrivateDirectory(const std::string& prefix)
{
    const char* base = std::getenv("TMPDIR");
    std::string pattern = (base != nullptr && *base != '\0') ? base : "/tmp";
    pattern += "/" + prefix + "-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (::mkdtemp(buffer.data()) != nullptr)
        m_path = buffer.data();
    else
        logLine(describeFailure("mkdtemp", pattern, errno));
}

PrivateDirectory::~PrivateDirectory()
{
    if (!m_path.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
}

std::string PrivateDirectory::pathOf(const std::string& name) const
{
    return objectPath(m_path, name);
}

} // namespace platform
