#include "SameFile.h"

namespace orvelle::os::posix {

bool SameFile(const std::string& a, const std::string& b) noexcept {
    struct stat first {};
    struct stat second {};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 &&
           SameFile(first, second);
}

}  // namespace orvelle::os::posix
