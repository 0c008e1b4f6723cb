#pragma once

/// @file
/// @brief A directory of this process's own, for the named objects of a link
/// whose both ends run in one program (benchmarks, the fuzzer, tests).

#include <string>

namespace platform {

/// @brief Made with mkdtemp (mode 0700) under $TMPDIR, default /tmp; removed
/// with everything in it on destruction. Invalid when mkdtemp failed.
class PrivateDirectory {
public:
    /// @param prefix names the directory: "kestrix-bench" gives kestrix-bench-XXXXXX.
    explicit PrivateDirectory(const std::string& prefix);
    ~PrivateDirectory();
    PrivateDirectory(const PrivateDirectory&) = delete;
    PrivateDirectory& operator=(const PrivateDirectory&) = delete;

    bool isValid() const noexcept { return !m_path.empty(); }
    const std::string& path() const noexcept { return m_path; }

    /// @brief Full path of the object @p name in this directory.
    std::string pathOf(const std::string& name) const;

private:
    std::string m_path;
};

} // namespace platform
