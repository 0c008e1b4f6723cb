#pragma once

// A private object directory for programs that run a link in-process
// (benchmarks, the fuzzer): made with mkdtemp under $TMPDIR (default /tmp),
// removed with its contents on destruction. Plain C++, no Qt.

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include <unistd.h>

class TempObjectDir {
public:
    /// prefix names the folder ("kestrix-bench" gives kestrix-bench-XXXXXX).
    explicit TempObjectDir(const std::string& prefix)
    {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = (base != nullptr && *base != '\0') ? base : "/tmp";
        pattern += "/" + prefix + "-XXXXXX";
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        if (::mkdtemp(buffer.data()) != nullptr)
            m_path = buffer.data();
    }
    ~TempObjectDir()
    {
        if (!m_path.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(m_path, ignored);
        }
    }
    TempObjectDir(const TempObjectDir&) = delete;
    TempObjectDir& operator=(const TempObjectDir&) = delete;

    bool isValid() const { return !m_path.empty(); }
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};
