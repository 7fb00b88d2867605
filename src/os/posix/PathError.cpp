#include "PathError.h"

#include "os/RuntimeError.h"

#include <cerrno>
#include <cstring>

namespace orvelle::os::posix {

void ThrowPathError(int error, const std::string& path) {
    const std::string where = ": " + path;
    switch (error) {
    case ENOENT:
        throw RuntimeError(errors::kPathNotFound, "Path not found" + where);
    case ENOTDIR:
        throw RuntimeError(errors::kPathNotFound, "Path not found (not a folder)" + where);
    case EACCES:
    case EPERM:
    case EROFS:
        throw RuntimeError(errors::kPermissionDenied, "Permission denied" + where);
    case ENOSPC:
    case EDQUOT:
        throw RuntimeError(errors::kDiskFull, "Disk full" + where);
    case EEXIST:
        throw RuntimeError(58, "File already exists" + where);
    case ELOOP:
        throw RuntimeError(errors::kPathFileAccessError,
                           "Path/File access error (a symbolic link is in the way)" + where);
    case EISDIR:
        throw RuntimeError(errors::kPathFileAccessError,
                           "Path/File access error (a folder is in the way)" + where);
    case EMFILE:
    case ENFILE:
        throw RuntimeError(67, "Too many files" + where);
    default:
        throw RuntimeError(errors::kDeviceIoError,
                           std::string("Device I/O error (") + std::strerror(error) + ")" + where);
    }
}

}  // namespace orvelle::os::posix
