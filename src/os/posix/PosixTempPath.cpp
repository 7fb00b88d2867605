#include "PosixTempPath.h"

#include <cstdlib>

namespace orvelle::os::posix {

std::string PosixTempPath::GetTempPathA() {
    const char* tmpdir = std::getenv("TMPDIR");
    std::string path = (tmpdir != nullptr && tmpdir[0] == '/') ? tmpdir : "/tmp";
    if (path.back() != '/') {
        path += '/';
    }
    return path;
}

}  // namespace orvelle::os::posix
