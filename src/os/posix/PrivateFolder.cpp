#include "PrivateFolder.h"

#include "XdgPaths.h"
#include "kit/PathText.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace orvelle::os::posix {
namespace {

bool IsOurPrivateFolder(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == ::geteuid() && (info.st_mode & 0077) == 0;
}

std::string TempFolder() {
    const char* tmp = std::getenv("TMPDIR");
    std::string folder = tmp != nullptr && tmp[0] == '/' ? tmp : "/tmp";
    kit::TrimTrailingSeparators(folder);
    return folder;
}

}  // namespace

std::string PrivateFolder() {
    const std::string runtime = XdgPaths::RuntimeDir();
    if (!runtime.empty() && IsOurPrivateFolder(runtime)) {
        return runtime + "/";
    }
    const std::string tmp = TempFolder();
    const std::string ours = tmp + "/orvelle-" + std::to_string(::geteuid());
    if (::mkdir(ours.c_str(), 0700) == 0 || errno == EEXIST) {
        if (IsOurPrivateFolder(ours)) {
            return ours + "/";
        }
    }
    // The usual name is taken by something that is not ours: a fresh folder instead.
    std::string pattern = tmp + "/orvelle-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (::mkdtemp(name.data()) != nullptr) {
        return std::string(name.data()) + "/";
    }
    return {};
}

}  // namespace orvelle::os::posix
