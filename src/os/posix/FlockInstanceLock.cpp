#include "FlockInstanceLock.h"

#include "PosixTempPath.h"
#include "XdgPaths.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace orvelle::os::posix {

FlockInstanceLock::FlockInstanceLock(std::string lockPath)
    : path_(lockPath.empty() ? DefaultPath() : std::move(lockPath)) {
}

std::string FlockInstanceLock::DefaultPath() {
    const std::string runtime = XdgPaths::RuntimeDir();
    if (!runtime.empty()) {
        return runtime + "/orvelle.lock";
    }
    return PosixTempPath().GetTempPathA() + "orvelle-" + std::to_string(getuid()) + ".lock";
}

bool FlockInstanceLock::PreviousInstance() {
    if (fd_) {
        return false;  // this copy holds the lock already
    }
    UniqueFd fd(::open(path_.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    struct stat info {};
    if (!fd || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != getuid()) {
        // Without a lock file of our own the test cannot be made; starting is the
        // useful answer (a second copy is less harm than none).
        return false;
    }
    while (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) {
            continue;
        }
        return errno == EWOULDBLOCK;
    }
    fd_ = std::move(fd);
    return false;
}

}  // namespace orvelle::os::posix
