#include "LibArchiveWriter.h"

#include "ArchiveHandle.h"
#include "PathError.h"
#include "SameFile.h"
#include "ScopedUtf8Locale.h"
#include "ThrottledPump.h"
#include "UniqueFd.h"
#include "UnnamedFile.h"
#include "kit/PathText.h"
#include "os/RuntimeError.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cwchar>
#include <optional>
#include <vector>

namespace orvelle::filesecurity::libarchive {
namespace {

constexpr std::size_t kChunk = std::size_t{64} * 1024;

struct DirCloser {
    void operator()(DIR* dir) const noexcept {
        // closedir fails only for an invalid stream; nothing to act on.
        static_cast<void>(::closedir(dir));
    }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

// The names in a folder (without "." and ".."), sorted so that archives of the same
// tree come out the same.
std::vector<std::string> ListFolder(int dirFd, const std::string& path) {
    // fdopendir takes the descriptor over; give it a duplicate so the caller's stays open.
    const int copy = ::fcntl(dirFd, F_DUPFD_CLOEXEC, 0);
    if (copy < 0) {
        os::posix::ThrowPathError(errno, path);
    }
    DirHandle dir(::fdopendir(copy));
    if (!dir) {
        const int error = errno;
        ::close(copy);
        os::posix::ThrowPathError(error, path);
    }
    // The duplicate shares the reading position with the caller's descriptor, which an
    // earlier listing may have left at the end.
    ::rewinddir(dir.get());
    std::vector<std::string> names;
    errno = 0;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") {
            names.push_back(name);
        }
        errno = 0;
    }
    if (errno != 0) {
        os::posix::ThrowPathError(errno, path);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Whether the text is UTF-8, judged in the thread's (UTF-8) locale.
bool IsUtf8(const std::string& text) {
    std::mbstate_t state{};
    const char* at = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        wchar_t character = 0;
        const std::size_t used = std::mbrtowc(&character, at, left, &state);
        if (used == static_cast<std::size_t>(-1) || used == static_cast<std::size_t>(-2)) {
            return false;
        }
        const std::size_t step = used == 0 ? 1 : used;
        at += step;
        left -= step;
    }
    return true;
}

// An entry that vanished, or changed, while the folder was packed: the archive would
// not hold what the folder held, so the job fails and says which entry it was.
[[noreturn]] void ThrowChanged(const std::string& path, const char* what) {
    throw os::RuntimeError(
        os::errors::kDeviceIoError,
        "The folder changed while it was packed: " + path + " " + what +
            ". Nothing was encrypted; try again when nothing writes to the folder.");
}

os::posix::UniqueFd OpenSubfolder(int dirFd, const std::string& name, const std::string& path) {
    os::posix::UniqueFd fd(
        ::openat(dirFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd) {
        if (errno == ENOENT || errno == ENOTDIR || errno == ELOOP) {
            ThrowChanged(path, "disappeared or was replaced");
        }
        os::posix::ThrowPathError(errno, path);
    }
    return fd;
}

// Walks the tree twice: once to add up the bytes (the progress total), once to write.
class FolderPacker {
public:
    FolderPacker(archive* writer, const struct stat& output, const ArchiveProgress& progress,
                 os::ThrottledPump& pump, std::string archivePath)
        : writer_(writer),
          output_(output),
          progress_(progress),
          pump_(pump),
          archivePath_(std::move(archivePath)) {}

    void CountBytes(int dirFd, const std::string& path) {
        for (const std::string& name : ListFolder(dirFd, path)) {
            struct stat info {};
            if (::fstatat(dirFd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
                continue;  // gone since the listing; the writing pass reports what it finds
            }
            if (S_ISREG(info.st_mode)) {
                total_ += static_cast<std::uint64_t>(info.st_size);
            } else if (S_ISDIR(info.st_mode)) {
                CountBytes(OpenSubfolder(dirFd, name, path + "/" + name).get(), path + "/" + name);
            }
            pump_.Tick();
        }
    }

    void Pack(int dirFd, const std::string& path, const std::string& prefix) {
        for (const std::string& name : ListFolder(dirFd, path)) {
            const std::string fullPath = path + "/" + name;
            const std::string relative = prefix + name;
            struct stat info {};
            if (::fstatat(dirFd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
                if (errno == ENOENT) {
                    ThrowChanged(fullPath, "disappeared");
                }
                os::posix::ThrowPathError(errno, fullPath);
            }
            if (S_ISDIR(info.st_mode)) {
                WriteHeader(relative + "/", AE_IFDIR, info, 0, nullptr);
                Pack(OpenSubfolder(dirFd, name, fullPath).get(), fullPath, relative + "/");
            } else if (S_ISREG(info.st_mode)) {
                if (os::posix::SameFile(info, output_) ||
                    (leaveOut_ && os::posix::SameFile(info, *leaveOut_))) {
                    continue;  // the archive being written, or its destination, inside the folder
                }
                PackFile(dirFd, name, fullPath, relative, info);
            } else if (S_ISLNK(info.st_mode)) {
                PackLink(dirFd, name, fullPath, relative, info);
            } else {
                skipped_.push_back({relative, "it is a device, FIFO or socket, not a file"});
            }
            pump_.Tick();
        }
    }

    void Finish() { Report(100); }

    void LeaveOut(const struct stat& file) { leaveOut_ = file; }

    std::vector<SkippedEntry> TakeSkipped() { return std::move(skipped_); }

private:
    void PackFile(int dirFd, const std::string& name, const std::string& fullPath,
                  const std::string& relative, const struct stat& listed) {
        const os::posix::UniqueFd fd(
            ::openat(dirFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
        if (!fd) {
            if (errno == ENOENT || errno == ELOOP) {
                ThrowChanged(fullPath, "disappeared or was replaced");
            }
            os::posix::ThrowPathError(errno, fullPath);
        }
        struct stat info {};
        if (::fstat(fd.get(), &info) != 0) {
            os::posix::ThrowPathError(errno, fullPath);
        }
        if (info.st_ino != listed.st_ino || info.st_dev != listed.st_dev) {
            ThrowChanged(fullPath, "was replaced");
        }
        const auto size = static_cast<std::uint64_t>(info.st_size);
        WriteHeader(relative, AE_IFREG, info, size, nullptr);
        std::vector<char> buffer(kChunk);
        std::uint64_t left = size;
        while (left > 0) {
            const ssize_t got =
                ::read(fd.get(), buffer.data(),
                       static_cast<std::size_t>(std::min<std::uint64_t>(left, kChunk)));
            if (got < 0) {
                if (errno == EINTR) {
                    continue;
                }
                os::posix::ThrowPathError(errno, fullPath);
            }
            if (got == 0) {
                ThrowChanged(fullPath, "became shorter");
            }
            if (archive_write_data(writer_, buffer.data(), static_cast<std::size_t>(got)) < 0) {
                ThrowWriteError();
            }
            left -= static_cast<std::uint64_t>(got);
            fed_ += static_cast<std::uint64_t>(got);
            Report(total_ == 0
                       ? 0
                       : static_cast<int>(std::min<std::uint64_t>(fed_, total_) * 100 / total_));
            pump_.Tick();
        }
        // The archive holds the file as it was when it was opened, whole, or not at all.
        char more = 0;
        ssize_t extra = 0;
        while ((extra = ::read(fd.get(), &more, 1)) < 0 && errno == EINTR) {
        }
        struct stat after {};
        if (extra > 0 || (::fstat(fd.get(), &after) == 0 && after.st_size != info.st_size)) {
            ThrowChanged(fullPath, "changed its size");
        }
        if (archive_write_finish_entry(writer_) < ARCHIVE_WARN) {
            ThrowWriteError();
        }
    }

    void PackLink(int dirFd, const std::string& name, const std::string& fullPath,
                  const std::string& relative, const struct stat& info) {
        // The size the link reports may be 0 or out of date: grow until the target fits.
        std::vector<char> target(static_cast<std::size_t>(std::max<off_t>(info.st_size, 255)) + 1);
        ssize_t length = 0;
        while ((length = ::readlinkat(dirFd, name.c_str(), target.data(), target.size())) >= 0 &&
               static_cast<std::size_t>(length) == target.size()) {
            target.resize(target.size() * 2);
        }
        if (length < 0) {
            os::posix::ThrowPathError(errno, fullPath);
        }
        const std::string text(target.data(), static_cast<std::size_t>(length));
        WriteHeader(relative, AE_IFLNK, info, 0, &text);
    }

    void WriteHeader(const std::string& name, unsigned type, const struct stat& info,
                     std::uint64_t size, const std::string* linkTarget) {
        ArchiveEntryHandle entry(archive_entry_new());
        if (!entry) {
            throw os::RuntimeError(7, "Out of memory");
        }
        // A name that is not UTF-8 is stored as its bytes, without the UTF-8 flag, as
        // ZIP keeps names from systems without a declared character set; extraction
        // and unzip give it back under the same bytes.
        std::optional<os::posix::ScopedBytesLocale> bytes;
        if (!IsUtf8(name) || (linkTarget != nullptr && !IsUtf8(*linkTarget))) {
            bytes.emplace();
        }
        archive_entry_copy_pathname(entry.get(), name.c_str());
        archive_entry_set_filetype(entry.get(), type);
        // Set-id and sticky bits mean nothing to whoever extracts the archive.
        archive_entry_set_perm(entry.get(), static_cast<__LA_MODE_T>(info.st_mode & 0777));
        archive_entry_set_mtime(entry.get(), info.st_mtim.tv_sec, info.st_mtim.tv_nsec);
        archive_entry_set_size(entry.get(), static_cast<la_int64_t>(size));
        if (linkTarget != nullptr) {
            archive_entry_copy_symlink(entry.get(), linkTarget->c_str());
        }
        if (archive_write_header(writer_, entry.get()) < ARCHIVE_WARN) {
            ThrowWriteError();
        }
    }

    void Report(int percent) {
        if (progress_) {
            progress_(percent);
        }
    }

    [[noreturn]] void ThrowWriteError() {
        const int error = archive_errno(writer_);
        if (error == ENOSPC || error == EDQUOT) {
            os::posix::ThrowPathError(error, archivePath_);
        }
        throw os::RuntimeError(
            os::errors::kDeviceIoError,
            "Can not write the archive " + archivePath_ + ": " + ArchiveErrorText(writer_));
    }

    archive* writer_;
    struct stat output_;
    const ArchiveProgress& progress_;
    os::ThrottledPump& pump_;
    std::string archivePath_;
    std::optional<struct stat> leaveOut_;
    std::uint64_t total_ = 0;
    std::uint64_t fed_ = 0;
    std::vector<SkippedEntry> skipped_;
};

// Opens the archive file for writing without following a link, creating it (mode
// 0600) when missing; a file of another user, or anything but a plain file, is refused.
os::posix::UniqueFd OpenOutput(const std::string& archivePath, struct stat& info) {
    // An unnamed file of this process is reached through its /proc/self/fd link,
    // which no one else can plant.
    const int noFollow = os::posix::IsUnnamedFile(archivePath, info) ? 0 : O_NOFOLLOW;
    os::posix::UniqueFd fd(
        ::open(archivePath.c_str(), O_WRONLY | O_CREAT | noFollow | O_CLOEXEC, 0600));
    if (!fd) {
        os::posix::ThrowPathError(errno, archivePath);
    }
    if (::fstat(fd.get(), &info) != 0) {
        os::posix::ThrowPathError(errno, archivePath);
    }
    if (!S_ISREG(info.st_mode) || info.st_uid != ::geteuid()) {
        throw os::RuntimeError(os::errors::kPermissionDenied,
                               "Permission denied: " + archivePath + " is not a file of this user");
    }
    if (::ftruncate(fd.get(), 0) != 0) {
        os::posix::ThrowPathError(errno, archivePath);
    }
    return fd;
}

}  // namespace

std::vector<SkippedEntry> LibArchiveWriter::PackFolder(const std::string& folder,
                                                       const std::string& archivePath,
                                                       const ArchiveProgress& progress,
                                                       const std::string& leaveOut) {
    const os::posix::ScopedUtf8Locale utf8;
    os::ThrottledPump pump(pump_, yieldInterval_);
    // The folder the user named may itself be reached through a link; inside it, no
    // link is followed.
    const os::posix::UniqueFd root(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!root) {
        os::posix::ThrowPathError(errno, folder);
    }
    struct stat output {};
    const os::posix::UniqueFd outputFd = OpenOutput(archivePath, output);

    ArchiveHandle writer(archive_write_new());
    if (!writer) {
        throw os::RuntimeError(7, "Out of memory");
    }
    if (archive_write_set_format_zip(writer.get()) != ARCHIVE_OK ||
        archive_write_set_options(writer.get(), "zip:compression=deflate") != ARCHIVE_OK ||
        archive_write_open_fd(writer.get(), outputFd.get()) != ARCHIVE_OK) {
        throw os::RuntimeError(
            os::errors::kDeviceIoError,
            "Can not write the archive " + archivePath + ": " + ArchiveErrorText(writer.get()));
    }
    if (progress) {
        progress(0);
    }
    std::string display = folder;
    kit::TrimTrailingSeparators(display);
    FolderPacker packer(writer.get(), output, progress, pump, archivePath);
    struct stat left {};
    if (!leaveOut.empty() && ::stat(leaveOut.c_str(), &left) == 0) {
        packer.LeaveOut(left);
    }
    packer.CountBytes(root.get(), display);
    packer.Pack(root.get(), display, "");
    if (archive_write_close(writer.get()) != ARCHIVE_OK) {
        const int error = archive_errno(writer.get());
        if (error == ENOSPC || error == EDQUOT) {
            os::posix::ThrowPathError(error, archivePath);
        }
        throw os::RuntimeError(
            os::errors::kDeviceIoError,
            "Can not write the archive " + archivePath + ": " + ArchiveErrorText(writer.get()));
    }
    packer.Finish();
    return packer.TakeSkipped();
}

}  // namespace orvelle::filesecurity::libarchive
