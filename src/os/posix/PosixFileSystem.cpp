#include "PosixFileSystem.h"

#include "AtomicFile.h"
#include "os/RuntimeError.h"
#include "os/TextLines.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace orvelle::os::posix {

void ThrowFileError(int error) {
    switch (error) {
    case ENOENT:
        throw RuntimeError(errors::kFileNotFound, "File not found");
    case ENOTDIR:
        throw RuntimeError(errors::kPathNotFound, "Path not found");
    case EACCES:
    case EPERM:
    case EROFS:
        throw RuntimeError(errors::kPermissionDenied, "Permission denied");
    case ENOSPC:
    case EDQUOT:
        throw RuntimeError(errors::kDiskFull, "Disk full");
    case EISDIR:
    case ELOOP:
        throw RuntimeError(errors::kPathFileAccessError, "Path/File access error");
    default:
        throw RuntimeError(errors::kDeviceIoError,
                           std::string("Device I/O error (") + std::strerror(error) + ")");
    }
}

bool PosixFileSystem::FileExists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool PosixFileSystem::DeleteFile(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || S_ISDIR(info.st_mode)) {
        return false;
    }
    return ::unlink(path.c_str()) == 0;
}

std::vector<std::string> PosixFileSystem::ReadLines(const std::string& path) {
    std::string content;
    const int error = ReadWholeFile(path, content);
    if (error != 0) {
        ThrowFileError(error);
    }
    return SplitLines(content);
}

void PosixFileSystem::WriteFileAtomic(const std::string& path, const std::string& content) {
    const int error = WriteFileAtomically(path, content, 0644);
    if (error != 0) {
        ThrowFileError(error);
    }
}

}  // namespace orvelle::os::posix
