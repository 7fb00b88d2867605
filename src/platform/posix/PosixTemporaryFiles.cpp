#include "PosixTemporaryFiles.h"

#include "PathError.h"
#include "UniqueFd.h"
#include "platform/RuntimeError.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace orvelle::platform::posix {

bool PosixTemporaryFiles::Remove(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        return errno == ENOENT;
    }
    if (S_ISDIR(info.st_mode)) {
        return false;
    }
    return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

void PosixTemporaryFiles::CreateExclusive(const std::string& path) {
    const UniqueFd fd(
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd) {
        if (errno == EEXIST) {
            throw RuntimeError(58, "File already exists: " + path +
                                       " is in the way and cannot be removed (it may belong "
                                       "to another user)");
        }
        ThrowPathError(errno, path);
    }
}

}  // namespace orvelle::platform::posix
