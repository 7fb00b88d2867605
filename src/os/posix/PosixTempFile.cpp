#include "PosixTempFile.h"

#include "PosixFileSystem.h"
#include "PrivateFolder.h"
#include "UniqueFd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace orvelle::os::posix {

std::string PosixTempFile::PrivateFolder() {
    return orvelle::os::posix::PrivateFolder();
}

void PosixTempFile::Create(const std::string& path, const std::string& content) {
    // unlink removes a link itself, and O_EXCL|O_NOFOLLOW refuses anything that appears
    // in its place before the open: nothing is ever written through a planted link.
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) {
            ThrowFileError(EISDIR);
        }
        if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
            ThrowFileError(errno);
        }
    }
    const UniqueFd fd(
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd) {
        ThrowFileError(errno == EEXIST ? EACCES : errno);
    }
    std::size_t written = 0;
    while (written < content.size()) {
        const ssize_t count = ::write(fd.get(), content.data() + written, content.size() - written);
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            const int error = errno;
            static_cast<void>(::unlink(path.c_str()));  // a half-written file helps nobody
            ThrowFileError(error);
        }
        written += static_cast<std::size_t>(count);
    }
}

void PosixTempFile::Remove(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        if (errno == ENOENT) {
            return;
        }
        ThrowFileError(errno);
    }
    if (S_ISDIR(info.st_mode)) {
        ThrowFileError(EISDIR);
    }
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
        ThrowFileError(errno);
    }
}

}  // namespace orvelle::os::posix
