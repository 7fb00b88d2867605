#include "BrowserProfiles.h"

#include "IniText.h"
#include "PosixFolder.h"
#include "XdgPaths.h"
#include "browsers/BrowserTable.h"
#include "kit/PathText.h"
#include "kit/WholeFile.h"
#include "os/RuntimeError.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <nlohmann/json.hpp>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <utility>

namespace orvelle::traces {
namespace {

using os::posix::OpenFileSet;
using os::posix::PosixFolder;

// A browser's INI index: false when there is none; a present one that cannot be read
// or is no INI text sets `why`, since every profile it names would vanish in silence.
bool ReadIndex(const std::string& path, std::string& text, std::string& why) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno != ENOENT) {
            why = std::string("it cannot be read: ") + std::strerror(errno);
        }
        return false;
    }
    ::close(fd);
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        why = "it is not a file";
        return false;
    }
    text = kit::ReadText(path);
    if (text.empty()) {
        why = "it is empty";
        return false;
    }
    if (text.find('\0') != std::string::npos) {
        why = "it is not an INI file (it holds binary data)";
        return false;
    }
    std::istringstream lines(text);
    std::string line;
    bool section = false;
    for (int number = 1; std::getline(lines, line); ++number) {
        const auto first = line.find_first_not_of(" \t\r");
        if (first == std::string::npos || line[first] == ';' || line[first] == '#') {
            continue;
        }
        if (line[first] == '[' && line.find(']', first) != std::string::npos) {
            section = true;
        } else if (!section || line.find('=') == std::string::npos) {
            why = "it is not an INI file (line " + std::to_string(number) + ")";
            return false;
        }
    }
    if (!section) {
        why = "it is not an INI file (no section)";
        return false;
    }
    return true;
}

// True when `path` is a folder we may clean inside; otherwise `why` says why not,
// or stays empty when the folder is simply not there.
bool UsableFolder(const std::string& path, std::string& why) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        return false;  // named but gone: nothing to clean, nothing to report
    }
    try {
        // The walk's own checks: not a link, not "/", not the home folder or above it.
        static_cast<void>(PosixFolder::OpenRoot(path, std::make_shared<const OpenFileSet>()));
    } catch (const os::RuntimeError& error) {
        why = error.Description();
        return false;
    }
    return true;
}

// A relative path from an index that stays below its root: no "..", no "." only,
// not absolute.
bool StaysInside(const std::string& relative) {
    if (relative.empty() || relative[0] == '/') {
        return false;
    }
    std::stringstream parts(relative);
    std::string part;
    bool any = false;
    while (std::getline(parts, part, '/')) {
        if (part == "..") {
            return false;
        }
        any = any || (!part.empty() && part != ".");
    }
    return any;
}

std::string Trimmed(std::string path) {
    kit::TrimTrailingSeparators(path);
    return path;
}

struct Identity {
    dev_t device;
    ino_t inode;
    // clang-tidy 14 sees the literal 0 of the defaulted comparison as a null pointer.
    auto operator<=>(const Identity&) const = default;  // NOLINT(modernize-use-nullptr)
};

class Collector {
public:
    explicit Collector(ProfileList& list) : list_(list) {}

    void Add(BrowserProfile profile) {
        std::string why;
        if (!UsableFolder(profile.folder, why)) {
            if (!why.empty()) {
                list_.refused.push_back({-1, profile.browser, profile.name, profile.folder, why});
            }
            return;
        }
        struct stat info {};
        if (::stat(profile.folder.c_str(), &info) != 0 ||
            !seen_.insert({info.st_dev, info.st_ino}).second) {
            return;  // the same profile named twice (two roots, two indexes)
        }
        list_.profiles.push_back(std::move(profile));
    }

    void Refuse(const std::string& browser, const std::string& name, const std::string& folder,
                const std::string& why) {
        list_.refused.push_back({-1, browser, name, folder, why});
    }

private:
    ProfileList& list_;
    std::set<Identity> seen_;
};

void FirefoxRoot(Collector& collector, const std::string& browser, const std::string& root,
                 const std::string& cacheRoot) {
    struct stat info {};
    if (::stat(root.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        return;
    }
    struct Named {
        std::string name;
        std::string path;
        bool relative;
    };
    std::vector<Named> named;
    std::string profilesText;
    std::string installsText;
    for (const auto& [file, text] :
         {std::pair{"/profiles.ini", &profilesText}, std::pair{"/installs.ini", &installsText}}) {
        std::string why;
        if (!ReadIndex(root + file, *text, why) && !why.empty()) {
            collector.Refuse(browser, "", root + file,
                             "Not cleaned: the profile index cannot be used, " + why);
        }
    }
    const IniText profiles(profilesText);
    for (const std::string& section : profiles.Sections()) {
        if (section.rfind("Profile", 0) != 0) {
            continue;
        }
        const std::string path = profiles.Value(section, "Path");
        if (path.empty()) {
            continue;
        }
        named.push_back(
            {profiles.Value(section, "Name"), path, profiles.Value(section, "IsRelative") != "0"});
    }
    // installs.ini names each installation's default profile by its relative path.
    const IniText installs(installsText);
    for (const std::string& section : installs.Sections()) {
        const std::string path = installs.Value(section, "Default");
        if (!path.empty()) {
            named.push_back({path, path, path[0] != '/'});
        }
    }
    for (const Named& entry : named) {
        BrowserProfile profile;
        profile.family = BrowserFamily::Firefox;
        profile.browser = browser;
        profile.name = entry.name.empty() ? entry.path : entry.name;
        if (entry.relative) {
            if (!StaysInside(entry.path)) {
                collector.Refuse(browser, profile.name, entry.path,
                                 "Not cleaned: \"" + entry.path + "\" leaves the profile folder");
                continue;
            }
            profile.folder = Trimmed(root + "/" + entry.path);
            profile.cacheFolder = Trimmed(cacheRoot + "/" + entry.path);
        } else {
            // A profile kept elsewhere keeps its cache inside itself.
            profile.folder = Trimmed(entry.path);
            profile.cacheFolder = profile.folder;
        }
        profile.lockFile = profile.folder + "/lock";
        collector.Add(std::move(profile));
    }
}

void ChromiumRoot(Collector& collector, const std::string& browser, const std::string& root,
                  const std::string& cacheRoot) {
    const std::string localState = kit::ReadText(root + "/Local State");
    if (localState.empty()) {
        return;
    }
    const auto json = nlohmann::json::parse(localState, nullptr, false);
    if (json.is_discarded() || !json.is_object()) {
        collector.Refuse(browser, "", root, "Not cleaned: \"Local State\" is not valid JSON");
        return;
    }
    const auto profile = json.find("profile");
    if (profile == json.end() || !profile->is_object()) {
        return;
    }
    const auto cache = profile->find("info_cache");
    if (cache == profile->end() || !cache->is_object()) {
        return;
    }
    for (const auto& [key, value] : cache->items()) {
        std::string name = key;
        if (value.is_object() && value.contains("name") && value["name"].is_string()) {
            name = value["name"].get<std::string>();
        }
        if (key.empty() || key == "." || key == ".." || key.find('/') != std::string::npos) {
            collector.Refuse(browser, name, root + "/" + key,
                             "Not cleaned: \"" + key + "\" is not a profile folder's name");
            continue;
        }
        BrowserProfile entry;
        entry.family = BrowserFamily::Chromium;
        entry.browser = browser;
        entry.name = key;
        entry.folder = root + "/" + key;
        entry.cacheFolder = cacheRoot + "/" + key;
        entry.lockFile = root + "/SingletonLock";
        collector.Add(std::move(entry));
    }
}

std::string EnvFolder(const char* name, const std::string& fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] == '/' ? std::string(value) : fallback;
}

// The process named by a lock's trailing number is alive.
bool Alive(const std::string& text, std::string::size_type start, pid_t& pid) {
    if (start >= text.size()) {
        return false;
    }
    char* end = nullptr;
    const long value = std::strtol(text.c_str() + start, &end, 10);
    if (end == text.c_str() + start || *end != '\0' || value <= 0) {
        return false;
    }
    pid = static_cast<pid_t>(value);
    return ::kill(pid, 0) == 0 || errno == EPERM;
}

std::string HostName() {
    char name[256] = {};
    if (::gethostname(name, sizeof(name) - 1) != 0) {
        return {};
    }
    return name;
}

}  // namespace

HomeFolders HomeFolders::FromEnvironment() {
    using os::posix::XdgPaths;
    const std::string home = XdgPaths::Home();
    return {home, XdgPaths::ConfigHome(), XdgPaths::DataHome(), XdgPaths::CacheHome(),
            EnvFolder("XDG_STATE_HOME", home + "/.local/state")};
}

ProfileList FindBrowserProfiles(const HomeFolders& folders) {
    ProfileList list;
    Collector collector(list);
    const browsers::BaseFolders bases{folders.home, folders.configHome, folders.cacheHome};
    for (const auto& root : browsers::ResolveBrowsers(bases, browsers::Family::Firefox)) {
        FirefoxRoot(collector, root.row->name, root.profileRoot, root.cacheRoot);
    }
    for (const auto& root : browsers::ResolveBrowsers(bases, browsers::Family::Chromium)) {
        ChromiumRoot(collector, root.row->name, root.profileRoot, root.cacheRoot);
    }
    return list;
}

std::string ProfileInUse(const std::string& lockFile) {
    char target[512] = {};
    const ssize_t length = ::readlink(lockFile.c_str(), target, sizeof(target) - 1);
    const bool chromium =
        lockFile.size() >= 13 && lockFile.compare(lockFile.size() - 13, 13, "SingletonLock") == 0;
    if (length > 0) {
        const std::string text(target, static_cast<std::size_t>(length));
        pid_t pid = 0;
        if (chromium) {
            const auto dash = text.rfind('-');
            if (dash == std::string::npos) {
                return "locked (" + text + ")";
            }
            if (text.substr(0, dash) != HostName()) {
                // Another computer's browser on a shared home: it cannot be checked.
                return "in use on " + text.substr(0, dash);
            }
            if (Alive(text, dash + 1, pid)) {
                return "in use by process " + std::to_string(pid);
            }
            return {};
        }
        const auto plus = text.rfind('+');
        if (plus == std::string::npos) {
            return "locked (" + text + ")";
        }
        if (Alive(text, plus + 1, pid)) {
            return "in use by process " + std::to_string(pid);
        }
    }
    if (!chromium) {
        // Firefox also holds an fcntl lock on .parentlock while it runs.
        const std::string parentLock =
            lockFile.substr(0, lockFile.size() - std::string("lock").size()) + ".parentlock";
        const int fd = ::open(parentLock.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (fd >= 0) {
            struct flock query {};
            query.l_type = F_WRLCK;
            query.l_whence = SEEK_SET;
            const bool held = ::fcntl(fd, F_GETLK, &query) == 0 && query.l_type != F_UNLCK;
            ::close(fd);
            if (held) {
                return "in use by process " + std::to_string(query.l_pid);
            }
        }
    }
    return {};
}

}  // namespace orvelle::traces
