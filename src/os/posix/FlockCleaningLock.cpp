#include "FlockCleaningLock.h"

#include "PosixTempPath.h"
#include "XdgPaths.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <vector>

namespace orvelle::os::posix {
namespace {

std::string ProgramName() {
    std::ifstream comm("/proc/self/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

// What the holder wrote: "1234 orvelle-clean".
std::string HolderText(int fd) {
    char buffer[256] = {};
    const ssize_t size = ::pread(fd, buffer, sizeof buffer - 1, 0);
    std::string text = size > 0 ? std::string(buffer, static_cast<std::size_t>(size)) : "";
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
        text.pop_back();
    }
    const auto space = text.find(' ');
    if (text.empty()) {
        return "another process";
    }
    if (space == std::string::npos) {
        return "process " + text;
    }
    return "process " + text.substr(0, space) + " (" + text.substr(space + 1) + ")";
}

// The home folder of this user's account, whatever $HOME says.
std::string AccountHome() {
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* result = nullptr;
    if (getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &result) == 0 &&
        result != nullptr && result->pw_dir != nullptr && result->pw_dir[0] == '/' &&
        std::string(result->pw_dir) != "/") {
        return result->pw_dir;
    }
    return {};
}

// A real folder (no link) of this user that no one else may write into; with
// `tighten` a folder of ours that is too open is closed to others first.
bool PrivateFolder(const std::string& path, bool tighten) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid()) {
        return false;
    }
    if ((info.st_mode & 022) != 0) {
        return tighten && ::chmod(path.c_str(), 0700) == 0;
    }
    return true;
}

}  // namespace

FlockCleaningLock::FlockCleaningLock(std::string lockPath)
    : path_(lockPath.empty() ? DefaultPath() : std::move(lockPath)) {
}

std::string FlockCleaningLock::DefaultPath() {
    if (const char* folder = std::getenv(kFolderVariable); folder != nullptr && folder[0] == '/') {
        return std::string(folder) + "/orvelle-clean.lock";
    }
    // The same path for the program, a timer, cron and su: nothing from the environment.
    const std::string runtime = "/run/user/" + std::to_string(::getuid());
    if (PrivateFolder(runtime, false)) {
        return runtime + "/orvelle-clean.lock";
    }
    const std::string home = AccountHome();
    if (!home.empty()) {
        const std::string state = home + "/.local/state/orvelle";
        static_cast<void>(MakeDirectories(state, 0700));
        if (PrivateFolder(state, true)) {
            return state + "/clean.lock";
        }
    }
    // No folder of our own: a lock that keeps no one out is still no reason not to clean.
    return PosixTempPath().GetTempPathA() + "orvelle-clean-" + std::to_string(::getuid()) + ".lock";
}

std::string FlockCleaningLock::Take(bool wait) {
    if (count_ > 0) {
        ++count_;
        return {};
    }
    UniqueFd fd(::open(path_.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    struct stat info {};
    if (!fd || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
        info.st_uid != ::getuid()) {
        // Without a lock file of our own no one can be kept out; cleaning anyway is
        // what the lock's absence always meant.
        ++count_;
        return {};
    }
    while (::flock(fd.get(), LOCK_EX | (wait ? 0 : LOCK_NB)) != 0) {
        if (errno == EINTR) {
            continue;
        }
        if (errno == EWOULDBLOCK) {
            return HolderText(fd.get());
        }
        ++count_;
        return {};
    }
    const std::string holder = std::to_string(::getpid()) + " " + ProgramName() + "\n";
    if (::ftruncate(fd.get(), 0) == 0) {
        static_cast<void>(::pwrite(fd.get(), holder.data(), holder.size(), 0));
    }
    fd_ = std::move(fd);
    ++count_;
    return {};
}

std::string FlockCleaningLock::TryLock() {
    return Take(false);
}

void FlockCleaningLock::Lock() {
    static_cast<void>(Take(true));
}

void FlockCleaningLock::Unlock() {
    if (count_ == 0) {
        return;
    }
    if (--count_ == 0 && fd_) {
        // Emptied first, so that no one reads a holder that has gone.
        static_cast<void>(::ftruncate(fd_.get(), 0));
        fd_ = UniqueFd();
    }
}

}  // namespace orvelle::os::posix
