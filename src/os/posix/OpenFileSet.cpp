#include "OpenFileSet.h"

#include "UniqueFd.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>

namespace orvelle::os::posix {
namespace {

struct DirCloser {
    void operator()(DIR* dir) const noexcept { ::closedir(dir); }
};
using UniqueDir = std::unique_ptr<DIR, DirCloser>;

// Takes ownership of `fd` and reads it as a directory stream.
UniqueDir OpenDirStream(UniqueFd fd) {
    DIR* dir = ::fdopendir(fd.get());
    if (dir != nullptr) {
        static_cast<void>(fd.release());  // the stream owns the descriptor now
    }
    return UniqueDir(dir);
}

bool IsNumber(const char* name) {
    if (*name == '\0') {
        return false;
    }
    for (; *name != '\0'; ++name) {
        if (*name < '0' || *name > '9') {
            return false;
        }
    }
    return true;
}

}  // namespace

OpenFileSet OpenFileSet::Scan(const std::string& procRoot) {
    OpenFileSet set;
    UniqueDir proc =
        OpenDirStream(UniqueFd(::open(procRoot.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)));
    if (!proc) {
        // Without /proc (a chroot, another platform) nothing is known to be open.
        return set;
    }
    const int procFd = ::dirfd(proc.get());
    while (const dirent* process = ::readdir(proc.get())) {
        if (!IsNumber(process->d_name)) {
            continue;
        }
        const std::string fdFolder = std::string(process->d_name) + "/fd";
        UniqueDir fds = OpenDirStream(
            UniqueFd(::openat(procFd, fdFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)));
        if (!fds) {
            continue;  // gone meanwhile, or another user's process
        }
        const int fdsFd = ::dirfd(fds.get());
        while (const dirent* descriptor = ::readdir(fds.get())) {
            if (descriptor->d_name[0] == '.') {
                continue;
            }
            struct stat info {};
            // Following the /proc link gives the open file itself.
            if (::fstatat(fdsFd, descriptor->d_name, &info, 0) == 0 && S_ISREG(info.st_mode)) {
                set.files_.emplace_back(info.st_dev, info.st_ino);
            }
        }
    }
    std::sort(set.files_.begin(), set.files_.end());
    set.files_.erase(std::unique(set.files_.begin(), set.files_.end()), set.files_.end());
    return set;
}

bool OpenFileSet::Contains(dev_t device, ino_t inode) const {
    return std::binary_search(files_.begin(), files_.end(), std::make_pair(device, inode));
}

bool OpenFileSet::AnyOn(dev_t device) const {
    const auto first =
        std::lower_bound(files_.begin(), files_.end(), std::make_pair(device, ino_t{0}));
    return first != files_.end() && first->first == device;
}

}  // namespace orvelle::os::posix
