#include "PosixCipherFiles.h"

#include "CipherErrors.h"
#include "platform/RuntimeError.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <random>
#include <utility>

namespace orvelle::veilor64 {
namespace {

using platform::RuntimeError;

// Owns one file descriptor.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) noexcept : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Descriptor& operator=(Descriptor&&) = delete;
    ~Descriptor() {
        if (fd_ >= 0) {
            // Only reached on paths that already failed or only read.
            static_cast<void>(::close(fd_));
        }
    }
    [[nodiscard]] int get() const noexcept { return fd_; }
    [[nodiscard]] bool valid() const noexcept { return fd_ >= 0; }
    // Closes now and reports the result: a delayed write error may surface here.
    [[nodiscard]] int Close() noexcept {
        const int fd = std::exchange(fd_, -1);
        return fd >= 0 && ::close(fd) != 0 ? errno : 0;
    }

private:
    int fd_;
};

class PosixSourceFile final : public ISourceFile {
public:
    PosixSourceFile(Descriptor fd, std::uint64_t size) : fd_(std::move(fd)), size_(size) {}
    [[nodiscard]] std::uint64_t Size() const override { return size_; }
    [[nodiscard]] std::size_t Read(std::uint8_t* buffer, std::size_t size) override {
        while (true) {
            const ssize_t got = ::read(fd_.get(), buffer, size);
            if (got >= 0) {
                return static_cast<std::size_t>(got);
            }
            if (errno != EINTR) {
                ThrowFileError(errno);
            }
        }
    }

private:
    Descriptor fd_;
    std::uint64_t size_;
};

std::string RandomSuffix() {
    static thread_local std::mt19937_64 generator{std::random_device{}()};
    static constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string suffix;
    for (int i = 0; i < 12; ++i) {
        suffix += kAlphabet[generator() % (sizeof kAlphabet - 1)];
    }
    return suffix;
}

// The process's umask without changing it (reading it by umask() would race
// with other threads creating files).
mode_t CurrentUmask() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) == 0) {
            try {
                return static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8) & 0777);
            } catch (const std::exception&) {
                break;
            }
        }
    }
    return 022;
}

class PosixDestinationFile final : public IDestinationFile {
public:
    PosixDestinationFile(std::string path, std::string temporary, Descriptor fd, mode_t mode,
                         bool replacing)
        : path_(std::move(path)),
          temporary_(std::move(temporary)),
          fd_(std::move(fd)),
          mode_(mode),
          replacing_(replacing) {}
    PosixDestinationFile(const PosixDestinationFile&) = delete;
    PosixDestinationFile& operator=(const PosixDestinationFile&) = delete;
    ~PosixDestinationFile() override {
        if (!committed_) {
            // The temporary file is ours alone: nothing else refers to it.
            static_cast<void>(fd_.Close());
            static_cast<void>(::unlink(temporary_.c_str()));
        }
    }

    void Write(const std::uint8_t* data, std::size_t size) override {
        while (size > 0) {
            const ssize_t written = ::write(fd_.get(), data, size);
            if (written < 0) {
                if (errno == EINTR) {
                    continue;
                }
                ThrowFileError(errno);
            }
            data += written;
            size -= static_cast<std::size_t>(written);
        }
    }

    void Commit() override {
        if (::fchmod(fd_.get(), mode_) != 0) {
            ThrowFileError(errno);
        }
        // An existing file is replaced only by content already on the disk, so a
        // power failure cannot leave both the old and the new file lost. A new
        // destination needs no such care: its source is still there.
        if (replacing_ && ::fdatasync(fd_.get()) != 0) {
            ThrowFileError(errno);
        }
        if (const int error = fd_.Close(); error != 0) {
            ThrowFileError(error);
        }
        if (::rename(temporary_.c_str(), path_.c_str()) != 0) {
            ThrowFileError(errno);
        }
        committed_ = true;
    }

private:
    std::string path_;
    std::string temporary_;
    Descriptor fd_;
    mode_t mode_;
    bool replacing_;
    bool committed_ = false;
};

}  // namespace

void ThrowFileError(int error) {
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        throw RuntimeError(errors::kPathNotFound, errors::kPathNotFoundText);
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
        throw RuntimeError(errors::kPermissionDenied, errors::kPermissionDeniedText);
    case ENOSPC:
    case EDQUOT:
        throw RuntimeError(errors::kDiskFull, errors::kDiskFullText);
    case EIO:
        throw RuntimeError(errors::kDeviceIoError, errors::kDeviceIoErrorText);
    case ENOMEM:
        throw RuntimeError(errors::kOutOfMemory, errors::kOutOfMemoryText);
    default:
        throw RuntimeError(errors::kPathFileAccessError, errors::kPathFileAccessErrorText);
    }
}

std::unique_ptr<ISourceFile> PosixCipherFiles::OpenSource(const std::string& path) {
    // O_NONBLOCK: opening a FIFO must not wait for a writer.
    Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!fd.valid()) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return nullptr;
        }
        ThrowFileError(errno);
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) {
        ThrowFileError(errno);
    }
    if (S_ISDIR(info.st_mode)) {
        // A folder is not a file: the source file does not exist.
        return nullptr;
    }
    if (!S_ISREG(info.st_mode)) {
        throw RuntimeError(errors::kPathFileAccessError, errors::kPathFileAccessErrorText);
    }
    const int flags = ::fcntl(fd.get(), F_GETFL);
    if (flags >= 0) {
        static_cast<void>(::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK));
    }
    // Only a hint to read ahead; the read works the same without it.
    static_cast<void>(::posix_fadvise(fd.get(), 0, 0, POSIX_FADV_SEQUENTIAL));
    return std::make_unique<PosixSourceFile>(std::move(fd),
                                             static_cast<std::uint64_t>(info.st_size));
}

std::unique_ptr<IDestinationFile> PosixCipherFiles::CreateDestination(const std::string& path,
                                                                      std::uint64_t /*size*/) {
    const auto slash = path.rfind('/');
    const std::string folder =
        slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
    if (slash + 1 == path.size()) {
        // A path ending in "/" names a folder, which cannot receive a file.
        throw RuntimeError(errors::kPathFileAccessError, errors::kPathFileAccessErrorText);
    }
    mode_t mode = 0666 & ~CurrentUmask();
    bool replacing = false;
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) {
            throw RuntimeError(errors::kPathFileAccessError, errors::kPathFileAccessErrorText);
        }
        if (S_ISREG(info.st_mode)) {
            // A read-only destination stays protected, as the platform keeps a
            // read-only file even from its administrator.
            if ((info.st_mode & 0222) == 0 ||
                ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0) {
                throw RuntimeError(errors::kPermissionDenied, errors::kPermissionDeniedText);
            }
            mode = info.st_mode & 07777;
            replacing = true;
        }
    } else if (errno != ENOENT) {
        ThrowFileError(errno);
    }
    const std::string prefix = slash == std::string::npos ? std::string() : folder;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string temporary = prefix + ".veilor-" + RandomSuffix() + ".tmp";
        Descriptor fd(::open(temporary.c_str(),
                             O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY,
                             0600));
        if (fd.valid()) {
            return std::make_unique<PosixDestinationFile>(path, std::move(temporary), std::move(fd),
                                                          mode, replacing);
        }
        if (errno != EEXIST) {
            ThrowFileError(errno);
        }
    }
    ThrowFileError(EEXIST);
}

}  // namespace orvelle::veilor64
