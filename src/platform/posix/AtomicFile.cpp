#include "AtomicFile.h"

#include "UniqueFd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <random>

namespace orvelle::platform::posix {
namespace {

std::string RandomSuffix() {
    static thread_local std::mt19937_64 generator{std::random_device{}()};
    static constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string suffix;
    for (int i = 0; i < 10; ++i) {
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

}  // namespace

int WriteFileAtomically(const std::string& path, std::string_view content, unsigned mode) {
    const auto slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string temporary;
    UniqueFd fd;
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
    int error = WriteAll(fd.get(), content);
    if (error == 0 && ::fchmod(fd.get(), static_cast<mode_t>(mode)) != 0) {
        error = errno;
    }
    if (error == 0 && ::fsync(fd.get()) != 0) {
        error = errno;
    }
    fd.reset();
    if (error == 0 && ::rename(temporary.c_str(), path.c_str()) != 0) {
        error = errno;
    }
    if (error != 0) {
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

}  // namespace orvelle::platform::posix
