#include "XdgPaths.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace orvelle::os::posix {
namespace {

std::string AbsoluteEnv(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || value[0] != '/') {
        return {};
    }
    return value;
}

}  // namespace

std::string XdgPaths::Home() {
    std::string home = AbsoluteEnv("HOME");
    if (!home.empty()) {
        return home;
    }
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* result = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &result) == 0 &&
        result != nullptr && result->pw_dir != nullptr && result->pw_dir[0] == '/') {
        return result->pw_dir;
    }
    return "/";
}

std::string XdgPaths::ConfigHome() {
    std::string dir = AbsoluteEnv("XDG_CONFIG_HOME");
    return dir.empty() ? Home() + "/.config" : dir;
}

std::string XdgPaths::DataHome() {
    std::string dir = AbsoluteEnv("XDG_DATA_HOME");
    return dir.empty() ? Home() + "/.local/share" : dir;
}

std::string XdgPaths::CacheHome() {
    std::string dir = AbsoluteEnv("XDG_CACHE_HOME");
    return dir.empty() ? Home() + "/.cache" : dir;
}

std::string XdgPaths::StateHome() {
    std::string dir = AbsoluteEnv("XDG_STATE_HOME");
    return dir.empty() ? Home() + "/.local/state" : dir;
}

std::string XdgPaths::RuntimeDir() {
    std::string dir = AbsoluteEnv("XDG_RUNTIME_DIR");
    struct stat info {};
    if (dir.empty() || ::stat(dir.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) ||
        info.st_uid != getuid()) {
        return {};
    }
    return dir;
}

std::string XdgPaths::OrvelleConfigDir() {
    std::string dir = ConfigHome() + "/orvelle";
    // A failure shows later, when a file in the folder cannot be opened.
    static_cast<void>(MakeDirectories(dir, 0700));
    return dir;
}

bool MakeDirectories(const std::string& path, unsigned mode) {
    if (path.empty()) {
        return false;
    }
    std::string::size_type position = 1;
    while (true) {
        position = path.find('/', position);
        const std::string prefix = position == std::string::npos ? path : path.substr(0, position);
        if (::mkdir(prefix.c_str(), static_cast<mode_t>(mode)) != 0 && errno != EEXIST) {
            return false;
        }
        if (position == std::string::npos) {
            break;
        }
        ++position;
    }
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace orvelle::os::posix
