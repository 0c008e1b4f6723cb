#pragma once

/// @file
/// @brief Where named objects live and which files a peer accepts as one.
///
/// Every named object (region, link mutex, event) is one file in the object
/// directory whose file name is the object's name exactly, backslash
/// included. The directory is $KESTRIX_IPC_DIR when set and non-empty, else
/// /run/kestrix when that is a directory (an installed service's), else
/// /dev/shm.

#include "platform/filedescriptor.h"

#include <string>
#include <sys/types.h>

namespace platform {

/// @brief How an object is opened. Creation always uses O_NOFOLLOW.
enum class OpenMode {
    CreateExclusive,   ///< fails when the file exists
    OpenOrCreate,      ///< creates the file when absent
    OpenExisting,      ///< fails when the file is absent
};

/// @brief The file type a named object must have.
enum class ObjectType {
    RegularFile,   ///< regions and the link mutex
    Fifo,          ///< events
};

/// @brief Mode of the files this side creates unless told otherwise.
constexpr mode_t kDefaultObjectMode = 0600;

/// @brief Where an installed service, running as root, keeps its objects.
constexpr const char kSystemObjectDirectory[] = "/run/kestrix";

/// @brief The object directory: $KESTRIX_IPC_DIR, else kSystemObjectDirectory
/// when it is a directory, else /dev/shm.
std::string objectDirectory();

/// @brief The rule of objectDirectory(): @p configured when not null or
/// empty, else @p system when it is a directory, else /dev/shm.
std::string chooseObjectDirectory(const char* configured, const std::string& system);

/// @brief Full path of the object @p name in @p directory.
std::string objectPath(const std::string& directory, const std::string& name);

/// @brief Full path of the object @p name in objectDirectory().
std::string objectPath(const std::string& name);

/// @brief Checks that an opened object is safe to trust: of @p type, owned by
/// this user or by root, and not writable by others, whoever owns it. (An
/// installed service runs as root and shares its objects with a group.)
///
/// @return true when acceptable; otherwise false with the reason in @p why.
bool checkObject(int fd, ObjectType type, const std::string& path, std::string& why);

/// @brief Opens (and, by @p mode, creates) a regular file with O_NOFOLLOW and
/// O_CLOEXEC, read-write, then checks it with checkObject(). With
/// @p enforceMode the file gets exactly @p permissions (fchmod), whatever the
/// umask and whoever created it; the creator of the objects does this.
///
/// @return the descriptor, or an invalid one with the reason in @p why.
FileDescriptor openObjectFile(const std::string& path, OpenMode mode, mode_t permissions,
                              std::string& why, bool enforceMode = false);

/// @brief Sets the mode of an open object to exactly @p permissions.
bool enforceObjectMode(int fd, mode_t permissions, const std::string& path, std::string& why);

} // namespace platform
