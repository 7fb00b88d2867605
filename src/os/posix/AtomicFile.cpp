#include "AtomicFile.h"

#include "UniqueFd.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <random>

namespace orvelle::os::posix {
namespace {

constexpr std::size_t kSuffixLength = 10;
constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";

std::function<void()>& FaultPoint() {
    static std::function<void()> fault;
    return fault;
}

std::string RandomSuffix() {
    static thread_local std::mt19937_64 generator{std::random_device{}()};
    std::string suffix;
    for (std::size_t i = 0; i < kSuffixLength; ++i) {
        suffix += kAlphabet[generator() % (sizeof(kAlphabet) - 1)];
    }
    return suffix;
}

int WriteAll(int fd, std::string_view content) {
    while (!content.empty()) {
        const ssize_t written = ::write(fd, content.data(), content.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        content.remove_prefix(static_cast<std::size_t>(written));
    }
    return 0;
}

// ".<name>.<10 of [a-z0-9]>.tmp": only what this writer names its temporary files.
bool IsLeftoverOf(const std::string& entry, const std::string& name) {
    const std::string head = "." + name + ".";
    const std::string tail = ".tmp";
    if (entry.size() != head.size() + kSuffixLength + tail.size() ||
        entry.compare(0, head.size(), head) != 0 ||
        entry.compare(entry.size() - tail.size(), tail.size(), tail) != 0) {
        return false;
    }
    const std::string_view suffix(entry.data() + head.size(), kSuffixLength);
    return suffix.find_first_not_of(std::string_view(kAlphabet, sizeof(kAlphabet) - 1)) ==
           std::string_view::npos;
}

void SplitPath(const std::string& path, std::string& folder, std::string& name) {
    const auto slash = path.rfind('/');
    folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    name = slash == std::string::npos ? path : path.substr(slash + 1);
}

// The unnamed file's name in /proc, for linkat without CAP_DAC_READ_SEARCH.
std::string ProcFdPath(int fd) {
    return "/proc/self/fd/" + std::to_string(fd);
}

struct DirCloser {
    void operator()(DIR* dir) const noexcept { ::closedir(dir); }
};

}  // namespace

void SetAtomicWriteFaultPoint(std::function<void()> fault) {
    FaultPoint() = std::move(fault);
}

int RemoveAtomicWriteLeftovers(const std::string& path) {
    std::string folder;
    std::string name;
    SplitPath(path, folder, name);
    UniqueFd folderFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folderFd) {
        return 0;
    }
    const int listFd = ::openat(folderFd.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listFd < 0) {
        return 0;
    }
    const std::unique_ptr<DIR, DirCloser> dir(::fdopendir(listFd));
    if (!dir) {
        ::close(listFd);
        return 0;
    }
    int removed = 0;
    while (const dirent* entry = ::readdir(dir.get())) {
        if (!IsLeftoverOf(entry->d_name, name)) {
            continue;
        }
        UniqueFd fd(::openat(folderFd.get(), entry->d_name,
                             O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        struct stat info {};
        // Ours, a plain file, and no writer holds it: a writer that was killed.
        if (fd && ::fstat(fd.get(), &info) == 0 && S_ISREG(info.st_mode) &&
            info.st_uid == ::getuid() && ::flock(fd.get(), LOCK_EX | LOCK_NB) == 0 &&
            ::unlinkat(folderFd.get(), entry->d_name, 0) == 0) {
            ++removed;
        }
    }
    return removed;
}

int WriteFileAtomically(const std::string& path, std::string_view content, unsigned mode) {
    std::string folder;
    std::string name;
    SplitPath(path, folder, name);
    static_cast<void>(RemoveAtomicWriteLeftovers(path));

    // Unnamed while it is written: a kill then leaves nothing behind at all.
    UniqueFd fd(
        ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, static_cast<mode_t>(mode)));
    const bool unnamed = static_cast<bool>(fd);
    std::string temporary;
    if (!unnamed) {
        for (int attempt = 0; attempt < 100 && !fd; ++attempt) {
            temporary = folder + "." + name + "." + RandomSuffix() + ".tmp";
            fd.reset(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                            static_cast<mode_t>(mode)));
            if (!fd && errno != EEXIST) {
                return errno;
            }
        }
        if (!fd) {
            return EEXIST;
        }
    }
    // Held until the rename: no one takes this file for a killed writer's.
    static_cast<void>(::flock(fd.get(), LOCK_EX | LOCK_NB));
    int error = WriteAll(fd.get(), content);
    if (error == 0 && ::fchmod(fd.get(), static_cast<mode_t>(mode)) != 0) {
        error = errno;
    }
    if (error == 0 && ::fsync(fd.get()) != 0) {
        error = errno;
    }
    if (error == 0 && unnamed) {
        error = EEXIST;
        for (int attempt = 0; attempt < 100 && error == EEXIST; ++attempt) {
            temporary = folder + "." + name + "." + RandomSuffix() + ".tmp";
            error = ::linkat(AT_FDCWD, ProcFdPath(fd.get()).c_str(), AT_FDCWD, temporary.c_str(),
                             AT_SYMLINK_FOLLOW) == 0
                        ? 0
                        : errno;
        }
        if (error != 0) {
            temporary.clear();  // never named: nothing to remove
        }
    }
    if (error == 0 && FaultPoint()) {
        FaultPoint()();
    }
    if (error == 0 && ::rename(temporary.c_str(), path.c_str()) != 0) {
        error = errno;
    }
    if (error != 0 && !temporary.empty()) {
        // The temporary file is ours alone; removing it keeps the folder clean.
        static_cast<void>(::unlink(temporary.c_str()));
    }
    return error;
}

int ReadWholeFile(const std::string& path, std::string& content) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd) {
        return errno;
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) {
        return errno;
    }
    if (!S_ISREG(info.st_mode)) {
        return EISDIR;
    }
    content.clear();
    char buffer[65536];
    while (true) {
        const ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        if (got == 0) {
            break;
        }
        content.append(buffer, static_cast<std::size_t>(got));
    }
    return 0;
}

}  // namespace orvelle::os::posix
