#include "PosixCipherFiles.h"

#include "CipherErrors.h"
#include "UnnamedFile.h"
#include "os/RuntimeError.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace orvelle::veilor64 {
namespace {

using os::RuntimeError;

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

// The source is asked for this far ahead of the reads, so that the disk
// delivers the next part while this one is transformed and written; the
// kernel's own read-ahead is far shorter.
constexpr std::uint64_t kReadAheadWindow = std::uint64_t{16} << 20;

class PosixSourceFile final : public ISourceFile {
public:
    PosixSourceFile(Descriptor fd, std::uint64_t size) : fd_(std::move(fd)), size_(size) {}
    [[nodiscard]] std::uint64_t Size() const override { return size_; }
    [[nodiscard]] std::size_t Read(std::uint8_t* buffer, std::size_t size) override {
        ReadAhead();
        while (true) {
            const ssize_t got = ::read(fd_.get(), buffer, size);
            if (got >= 0) {
                read_ += static_cast<std::uint64_t>(got);
                return static_cast<std::size_t>(got);
            }
            if (errno != EINTR) {
                ThrowFileError(errno);
            }
        }
    }

private:
    void ReadAhead() {
        while (requested_ < size_ && requested_ < read_ + 2 * kReadAheadWindow) {
            // A hint only: without it the reads are the same, only slower.
            static_cast<void>(::posix_fadvise(fd_.get(), static_cast<off_t>(requested_),
                                              static_cast<off_t>(kReadAheadWindow),
                                              POSIX_FADV_WILLNEED));
            requested_ += kReadAheadWindow;
        }
    }

    Descriptor fd_;
    std::uint64_t size_;
    std::uint64_t read_ = 0;
    std::uint64_t requested_ = 0;
};

// Output is pushed towards the disk in windows of this size: the window just
// written is started, the one before it waited for and dropped from the cache.
constexpr std::uint64_t kWriteBackWindow = std::uint64_t{8} << 20;

class PosixDestinationFile final : public IDestinationFile {
public:
    // A new unnamed file in `folder` that becomes `name` there on Commit.
    PosixDestinationFile(os::posix::UniqueFd folder, std::string name, os::posix::UnnamedFile file)
        : folder_(std::move(folder)), name_(std::move(name)), file_(std::move(file)) {
        fd_ = file_.fd();
    }
    // An unnamed file reached through /proc/self/fd, written in place.
    explicit PosixDestinationFile(Descriptor inPlace)
        : inPlace_(std::move(inPlace)), fd_(inPlace_.get()) {}
    PosixDestinationFile(const PosixDestinationFile&) = delete;
    PosixDestinationFile& operator=(const PosixDestinationFile&) = delete;
    ~PosixDestinationFile() override = default;

    void Write(const std::uint8_t* data, std::size_t size) override {
        WriteAll(data, size, -1);
        written_ += size;
        // An unnamed file written in place is read back soon and never kept: it
        // stays in the cache.
        if (!inPlace_.valid()) {
            WriteBack();
        }
    }

    void WriteAt(std::uint64_t offset, const std::uint8_t* data, std::size_t size) override {
        WriteAll(data, size, static_cast<off_t>(offset));
    }

    void Commit() override {
        if (inPlace_.valid()) {
            if (const int error = inPlace_.Close(); error != 0) {
                ThrowFileError(error);
            }
            return;
        }
        // The new file takes the destination's name only once its content is on
        // the disk, so that a power cut leaves the old file or the whole new one.
        if (::fdatasync(fd_) != 0) {
            ThrowFileError(errno);
        }
        if (const int error = file_.Commit(name_, true); error != 0) {
            ThrowFileError(error);
        }
        if (const int error = file_.CloseDescriptor(); error != 0) {
            ThrowFileError(error);
        }
    }

private:
    // Writes all `size` bytes at `at`, or appends them when `at` is negative.
    void WriteAll(const std::uint8_t* data, std::size_t size, off_t at) const {
        while (size > 0) {
            const ssize_t written =
                at < 0 ? ::write(fd_, data, size) : ::pwrite(fd_, data, size, at);
            if (written < 0) {
                if (errno == EINTR) {
                    continue;
                }
                ThrowFileError(errno);
            }
            data += written;
            size -= static_cast<std::size_t>(written);
            if (at >= 0) {
                at += written;
            }
        }
    }

    // Starts write-back of each completed window and waits for the one before,
    // whose pages are then dropped: the disk works while the source is read, and
    // dirty pages stay bounded whatever the file's size.
    void WriteBack() {
        while (written_ >= started_ + kWriteBackWindow) {
            // Hints only: a file system without them writes at the closing flush.
            static_cast<void>(::sync_file_range(fd_, static_cast<off_t>(started_),
                                                static_cast<off_t>(kWriteBackWindow),
                                                SYNC_FILE_RANGE_WRITE));
            if (started_ >= kWriteBackWindow) {
                const auto previous = static_cast<off_t>(started_ - kWriteBackWindow);
                static_cast<void>(
                    ::sync_file_range(fd_, previous, static_cast<off_t>(kWriteBackWindow),
                                      SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE |
                                          SYNC_FILE_RANGE_WAIT_AFTER));
                static_cast<void>(::posix_fadvise(
                    fd_, previous, static_cast<off_t>(kWriteBackWindow), POSIX_FADV_DONTNEED));
            }
            started_ += kWriteBackWindow;
        }
    }

    os::posix::UniqueFd folder_;
    std::string name_;
    os::posix::UnnamedFile file_;
    Descriptor inPlace_;
    int fd_ = -1;
    std::uint64_t written_ = 0;
    std::uint64_t started_ = 0;
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
    if (slash != std::string::npos && slash + 1 == path.size()) {
        // A path ending in "/" names a folder, which cannot receive a file.
        throw RuntimeError(errors::kPathFileAccessError, errors::kPathFileAccessErrorText);
    }
    struct stat info {};
    if (os::posix::IsUnnamedFile(path, info)) {
        Descriptor fd(::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOCTTY));
        if (!fd.valid()) {
            ThrowFileError(errno);
        }
        return std::make_unique<PosixDestinationFile>(std::move(fd));
    }
    if (::lstat(path.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) {
            throw RuntimeError(errors::kPathFileAccessError, errors::kPathFileAccessErrorText);
        }
        // A read-only destination stays protected, as the platform keeps a
        // read-only file even from its administrator.
        if (S_ISREG(info.st_mode) && ((info.st_mode & 0222) == 0 ||
                                      ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0)) {
            throw RuntimeError(errors::kPermissionDenied, errors::kPermissionDeniedText);
        }
    } else if (errno != ENOENT) {
        ThrowFileError(errno);
    }
    const std::string folder = slash == std::string::npos ? std::string(".")
                               : slash == 0               ? std::string("/")
                                                          : path.substr(0, slash);
    os::posix::UniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir) {
        ThrowFileError(errno);
    }
    os::posix::UnnamedFile file;
    if (const int error = file.Open(dir.get(), folder); error != 0) {
        ThrowFileError(error);
    }
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return std::make_unique<PosixDestinationFile>(std::move(dir), name, std::move(file));
}

}  // namespace orvelle::veilor64
