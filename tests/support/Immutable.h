#pragma once

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace orvelle::test {

// Marks a file or folder immutable (chattr +i) and takes the mark off again at the
// end. Where the file system or the rights do not allow it, Set says so.
class Immutable {
public:
    ~Immutable() {
        for (const std::string& path : paths_) {
            Change(path, false);
        }
    }
    [[nodiscard]] bool Set(const std::string& path) {
        if (!Change(path, true)) {
            return false;
        }
        paths_.push_back(path);
        return true;
    }

private:
    static bool Change(const std::string& path, bool on) {
        const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0) {
            return false;
        }
        int flags = 0;
        bool done = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        if (done) {
            flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
            done = ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        }
        close(fd);
        return done;
    }
    std::vector<std::string> paths_;
};

}  // namespace orvelle::test
