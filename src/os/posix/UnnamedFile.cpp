#include "UnnamedFile.h"

#include "XdgPaths.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <functional>
#include <memory>
#include <random>
#include <string_view>
#include <utility>

namespace orvelle::os::posix {
namespace {

std::string HiddenName() {
    static thread_local std::mt19937_64 generator{std::random_device{}()};
    static constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string name = ".orvelle-";
    for (int i = 0; i < 12; ++i) {
        name += kAlphabet[generator() % (sizeof kAlphabet - 1)];
    }
    return name + ".tmp";
}

std::string ProcPath(int fd) {
    return "/proc/self/fd/" + std::to_string(fd);
}

// The folder's absolute path, for a record that another process must follow.
std::string AbsoluteFolder(int dirFd, const std::string& folder) {
    char target[PATH_MAX];
    const ssize_t length = ::readlink(ProcPath(dirFd).c_str(), target, sizeof target - 1);
    if (length > 0 && target[0] == '/') {
        return std::string(target, static_cast<std::size_t>(length));
    }
    if (!folder.empty() && folder.front() == '/') {
        return folder;
    }
    char cwd[PATH_MAX];
    return ::getcwd(cwd, sizeof cwd) != nullptr ? std::string(cwd) + "/" + folder : folder;
}

int WriteAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t written = ::write(fd, text.data(), text.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        text.remove_prefix(static_cast<std::size_t>(written));
    }
    return 0;
}

// The record of a named fallback file: its name holds the owner process and the
// file's identity, its content the file's absolute path.
std::string WriteRecord(const std::string& path, const struct stat& info) {
    const std::string folder = LeftoversFolder();
    if (!MakeDirectories(folder, 0700)) {
        return {};
    }
    std::string record = folder + "/" + std::to_string(::getpid()) + "-" +
                         std::to_string(info.st_dev) + "-" + std::to_string(info.st_ino);
    const UniqueFd fd(
        ::open(record.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd || WriteAll(fd.get(), path) != 0) {
        // Without a record the file is still removed when its job ends; only a
        // killed process would leave it, as before.
        return {};
    }
    return record;
}

bool ProcessAlive(long pid) {
    return pid == ::getpid() || ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

}  // namespace

std::string LeftoversFolder() {
    return XdgPaths::StateHome() + "/orvelle/leftovers";
}

UnnamedFile::UnnamedFile(UnnamedFile&& other) noexcept
    : fd_(std::move(other.fd_)),
      dirFd_(std::exchange(other.dirFd_, -1)),
      folder_(std::move(other.folder_)),
      name_(std::move(other.name_)),
      record_(std::move(other.record_)),
      committed_(std::exchange(other.committed_, true)) {
}

UnnamedFile::~UnnamedFile() {
    Discard();
}

std::function<void()>& UnnamedFile::BetweenReplaceSteps() noexcept {
    static std::function<void()> hook;
    return hook;
}

bool& UnnamedFile::UnnamedFilesDisabled() noexcept {
    static bool disabled = false;
    return disabled;
}

int UnnamedFile::Open(int dirFd, const std::string& folder, const std::string& fallbackName) {
    dirFd_ = dirFd;
    folder_ = folder;
    if (!UnnamedFilesDisabled()) {
        fd_.reset(::openat(dirFd, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600));
        if (fd_) {
            return 0;
        }
        // EOPNOTSUPP: the file system has no unnamed files; EISDIR: nor the kernel.
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
            return errno;
        }
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = fallbackName.empty() ? HiddenName() : fallbackName;
        fd_.reset(::openat(dirFd, name.c_str(),
                           O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0600));
        if (fd_) {
            name_ = name;
            break;
        }
        if (errno != EEXIST || !fallbackName.empty()) {
            return errno;
        }
    }
    if (!fd_) {
        return EEXIST;
    }
    struct stat info {};
    if (::fstat(fd_.get(), &info) == 0) {
        record_ = WriteRecord(AbsoluteFolder(dirFd, folder) + "/" + name_, info);
    }
    return 0;
}

std::string UnnamedFile::Path() const {
    if (Named()) {
        return (folder_.empty() || folder_.back() == '/' ? folder_ : folder_ + "/") + name_;
    }
    return ProcPath(fd_.get());
}

int UnnamedFile::Commit(const std::string& name, bool replace) {
    if (Named()) {
        if (!replace) {
            struct stat info {};
            if (::fstatat(dirFd_, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0) {
                return EEXIST;
            }
        }
        if (::renameat(dirFd_, name_.c_str(), dirFd_, name.c_str()) != 0) {
            return errno;
        }
        name_.clear();
        if (!record_.empty()) {
            static_cast<void>(::unlink(record_.c_str()));
            record_.clear();
        }
        committed_ = true;
        return 0;
    }
    const auto link = [this](const std::string& target) {
        if (::linkat(AT_FDCWD, ProcPath(fd_.get()).c_str(), dirFd_, target.c_str(),
                     AT_SYMLINK_FOLLOW) == 0) {
            return 0;
        }
        if (errno != ENOENT) {
            return errno;
        }
        // Without /proc only a process that may read any file can link by descriptor.
        return ::linkat(fd_.get(), "", dirFd_, target.c_str(), AT_EMPTY_PATH) == 0 ? 0 : errno;
    };
    int error = link(name);
    if (error == EEXIST && replace) {
        // Linux cannot put an unnamed file in place of an existing name in one step:
        // it is linked under a hidden name first, then renamed over what is there (the
        // old file is replaced in one step and never written into). The hidden name is
        // recorded before it exists, so that a kill between the two steps leaves a
        // copy that the next start removes, never one that stays.
        struct stat info {};
        if (::fstat(fd_.get(), &info) != 0) {
            return errno;
        }
        const std::string folder = AbsoluteFolder(dirFd_, folder_);
        std::string hidden;
        std::string record;
        for (int attempt = 0; attempt < 100 && error == EEXIST; ++attempt) {
            hidden = HiddenName();
            record = WriteRecord(folder + "/" + hidden, info);
            if (record.empty()) {
                // Without a record a kill could leave the copy for good: not done.
                return EIO;
            }
            error = link(hidden);
        }
        if (error != 0) {
            static_cast<void>(::unlink(record.c_str()));
            return error;
        }
        if (const auto& between = BetweenReplaceSteps()) {
            between();
        }
        if (::renameat(dirFd_, hidden.c_str(), dirFd_, name.c_str()) != 0) {
            error = errno;
            static_cast<void>(::unlinkat(dirFd_, hidden.c_str(), 0));
            static_cast<void>(::unlink(record.c_str()));
            return error;
        }
        static_cast<void>(::unlink(record.c_str()));
    } else if (error != 0) {
        return error;
    }
    committed_ = true;
    return 0;
}

int UnnamedFile::CloseDescriptor() noexcept {
    const int fd = fd_.release();
    return fd >= 0 && ::close(fd) != 0 ? errno : 0;
}

void UnnamedFile::Discard() noexcept {
    fd_.reset();
    if (!committed_ && Named()) {
        // Our own file, made with O_EXCL: nothing else refers to it.
        static_cast<void>(::unlinkat(dirFd_, name_.c_str(), 0));
    }
    if (!record_.empty()) {
        static_cast<void>(::unlink(record_.c_str()));
    }
    name_.clear();
    record_.clear();
}

bool IsUnnamedFile(const std::string& path, struct stat& info) noexcept {
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_nlink == 0;
}

int RemoveLeftovers() noexcept {
    try {
        const std::string folder = LeftoversFolder();
        std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), &::closedir);
        if (!dir) {
            return 0;
        }
        int removed = 0;
        while (const dirent* entry = ::readdir(dir.get())) {
            long pid = 0;
            unsigned long long device = 0;
            unsigned long long inode = 0;
            if (std::sscanf(entry->d_name, "%ld-%llu-%llu", &pid, &device, &inode) != 3 ||
                ProcessAlive(pid)) {
                continue;
            }
            const std::string record = folder + "/" + entry->d_name;
            std::string path;
            const UniqueFd fd(::open(record.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
            char buffer[PATH_MAX];
            ssize_t got = 0;
            while (fd && (got = ::read(fd.get(), buffer, sizeof buffer)) > 0) {
                path.append(buffer, static_cast<std::size_t>(got));
            }
            struct stat info {};
            // Only the very file the record names, still ours: a file that took its
            // name since is left alone.
            if (!path.empty() && ::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
                info.st_uid == ::geteuid() && info.st_dev == device && info.st_ino == inode &&
                ::unlink(path.c_str()) == 0) {
                ++removed;
            }
            static_cast<void>(::unlink(record.c_str()));
        }
        return removed;
    } catch (...) {
        // Tidying up must never stop a start.
        return 0;
    }
}

}  // namespace orvelle::os::posix
