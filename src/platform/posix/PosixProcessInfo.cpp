#include "PosixProcessInfo.h"

#include <unistd.h>

#include <vector>

namespace orvelle::platform::posix {

PosixProcessInfo::PosixProcessInfo() {
    std::vector<char> buffer(4096);
    const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    std::string path = length > 0 ? std::string(buffer.data(), static_cast<std::size_t>(length))
                                  : std::string("/orvelle");
    const auto slash = path.rfind('/');
    folder_ = slash == 0 ? std::string("/") : path.substr(0, slash);
    name_ = path.substr(slash + 1);
}

}  // namespace orvelle::platform::posix
