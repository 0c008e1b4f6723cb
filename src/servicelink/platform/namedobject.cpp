#include "platform/namedobject.h"

#include "platform/posixcall.h"

#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

std::string objectDirectory()
{
    return chooseObjectDirectory(std::getenv("KESTRIX_IPC_DIR"), kSystemObjectDirectory);
}

std::string chooseObjectDirectory(const char* configured, const std::string& system)
{
    if (configured != nullptr && configured[0] != '\0')
        return configured;
    struct stat info {};
    if (posixCall([&] { return ::stat(system.c_str(), &info); }).ok() && S_ISDIR(info.st_mode))
        return system;
    return "/dev/shm";
}

std::string objectPath(const std::string& directory, const std::string& name)
{
    std::string path = directory;
    if (path.empty() || path.back() != '/')
        path += '/';
    path += name;
    return path;
}

std::string objectPath(const std::string& name)
{
    return objectPath(objectDirectory(), name);
}

bool checkObject(int fd, ObjectType type, const std::string& path, std::string& why)
{
    struct stat info {};
    const auto status = posixCall([&] { return ::fstat(fd, &info); });
    if (!status.ok()) {
        why = describeFailure("fstat", path, status.error);
        return false;
    }
    const bool typeMatches = type == ObjectType::RegularFile ? S_ISREG(info.st_mode)
                                                             : S_ISFIFO(info.st_mode);
    if (!typeMatches) {
        why = "refusing " + path + ": not a "
              + (type == ObjectType::RegularFile ? "regular file" : "FIFO");
        return false;
    }
    if (info.st_uid != ::geteuid() && info.st_uid != 0) {
        why = "refusing " + path + ": owned by uid " + std::to_string(info.st_uid)
              + ", neither this user nor root";
        return false;
    }
    if ((info.st_mode & S_IWOTH) != 0) {
        why = "refusing " + path + ": writable by others";
        return false;
    }
    return true;
}

bool enforceObjectMode(int fd, mode_t permissions, const std::string& path, std::string& why)
{
    const auto changed = posixCall([&] { return ::fchmod(fd, permissions); });
    if (!changed.ok()) {
        why = describeFailure("fchmod", path, changed.error);
        return false;
    }
    return true;
}

FileDescriptor openObjectFile(const std::string& path, OpenMode mode, mode_t permissions,
                              std::string& why, bool enforceMode)
{
    int flags = O_RDWR | O_CLOEXEC | O_NOFOLLOW;
    if (mode == OpenMode::CreateExclusive)
        flags |= O_CREAT | O_EXCL;
    else if (mode == OpenMode::OpenOrCreate)
        flags |= O_CREAT;

    const auto opened = posixCall([&] { return ::open(path.c_str(), flags, permissions); });
    if (!opened.ok()) {
        if (opened.error == ELOOP)
            why = "refusing " + path + ": a symbolic link";
        else
            why = describeFailure("open", path, opened.error);
        return FileDescriptor();
    }
    FileDescriptor fd(opened.value);
    if (!checkObject(fd.get(), ObjectType::RegularFile, path, why))
        return FileDescriptor();
    if (enforceMode && !enforceObjectMode(fd.get(), permissions, path, why))
        return FileDescriptor();
    return fd;
}

} // namespace platform
