#pragma once

#include <sys/stat.h>

#include <string>

namespace orvelle::os::posix {

// Two files are the same file when their device and inode agree, whatever their
// names: "dir//a", "dir/./a", "../x/dir/a" and a link to it are all one file.
[[nodiscard]] inline bool SameFile(const struct stat& a, const struct stat& b) noexcept {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Whether both paths, links resolved, lead to one existing file; false when either
// does not exist.
[[nodiscard]] bool SameFile(const std::string& a, const std::string& b) noexcept;

}  // namespace orvelle::os::posix
