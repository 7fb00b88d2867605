#include "LibArchiveReader.h"

#include "ArchiveHandle.h"
#include "PathError.h"
#include "ScopedUtf8Locale.h"
#include "ThrottledPump.h"
#include "UniqueFd.h"
#include "UnnamedFile.h"
#include "XdgPaths.h"
#include "kit/PathText.h"
#include "os/RuntimeError.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <random>
#include <set>
#include <vector>

namespace orvelle::filesecurity::libarchive {
namespace {

// Thrown inside the extraction to leave one entry out with the reason.
struct LeaveOut {
    std::string reason;
};

constexpr std::int32_t kInvalidFileFormat = 321;

std::string Join(const std::vector<std::string>& parts, std::size_t count) {
    std::string joined;
    for (std::size_t i = 0; i < count && i < parts.size(); ++i) {
        if (i != 0) {
            joined += '/';
        }
        joined += parts[i];
    }
    return joined;
}

// The entry's path as folder names and a last name; "." and empty parts dropped.
std::vector<std::string> SplitEntryName(const std::string& name) {
    if (name.empty()) {
        throw LeaveOut{"it has no name"};
    }
    if (name.front() == '/') {
        throw LeaveOut{"it has an absolute path"};
    }
    std::vector<std::string> parts;
    std::string::size_type start = 0;
    while (start <= name.size()) {
        auto end = name.find('/', start);
        if (end == std::string::npos) {
            end = name.size();
        }
        const std::string part = name.substr(start, end - start);
        if (part == "..") {
            throw LeaveOut{"its path contains \"..\""};
        }
        if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    return parts;
}

std::string TemporaryName() {
    static thread_local std::mt19937_64 generator{std::random_device{}()};
    static constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string name = ".orvelle-";
    for (int i = 0; i < 10; ++i) {
        name += kAlphabet[generator() % (sizeof(kAlphabet) - 1)];
    }
    return name + ".part";
}

// Removes a file written under a temporary name unless it was renamed into place.
class TemporaryEntry {
public:
    TemporaryEntry(int dirFd, std::string name) : dirFd_(dirFd), name_(std::move(name)) {}
    ~TemporaryEntry() {
        if (!name_.empty()) {
            // Our own half-written file; if it cannot be removed there is nothing better to do.
            static_cast<void>(::unlinkat(dirFd_, name_.c_str(), 0));
        }
    }
    TemporaryEntry(const TemporaryEntry&) = delete;
    TemporaryEntry& operator=(const TemporaryEntry&) = delete;
    [[nodiscard]] const std::string& Name() const noexcept { return name_; }
    void Release() noexcept { name_.clear(); }

private:
    int dirFd_;
    std::string name_;
};

class Extractor {
public:
    Extractor(archive* reader, int root, std::string folder, std::string archivePath,
              std::uint64_t archiveSize, const ArchiveProgress& progress, os::ThrottledPump& pump,
              ExistingFiles existing)
        : existing_(existing),
          reader_(reader),
          root_(root),
          folder_(std::move(folder)),
          archivePath_(std::move(archivePath)),
          archiveSize_(archiveSize),
          progress_(progress),
          pump_(pump) {}

    void Run() {
        Report(0);
        while (true) {
            archive_entry* entry = nullptr;
            const int status = archive_read_next_header(reader_, &entry);
            if (status == ARCHIVE_EOF) {
                break;
            }
            if (status == ARCHIVE_FATAL) {
                ThrowDamaged();
            }
            const char* utf8 = archive_entry_pathname_utf8(entry);
            const char* raw = archive_entry_pathname(entry);
            const std::string name = utf8 != nullptr ? utf8 : (raw != nullptr ? raw : "");
            try {
                if (status == ARCHIVE_FAILED) {
                    throw LeaveOut{"it cannot be read (" + ArchiveErrorText(reader_) + ")"};
                }
                Extract(entry, name);
            } catch (const LeaveOut& leave) {
                skipped_.push_back({name, leave.reason});
            }
            ReportPosition();
        }
        // Links come last, so that no entry of the archive is ever written through one.
        for (const Link& link : links_) {
            try {
                CreateLink(link);
            } catch (const LeaveOut& leave) {
                skipped_.push_back({link.name, leave.reason});
            }
        }
        Report(100);
    }

    std::vector<SkippedEntry> TakeSkipped() { return std::move(skipped_); }

private:
    struct Link {
        std::string name;
        std::vector<std::string> parts;
        std::string target;
    };

    void Extract(archive_entry* entry, const std::string& name) {
        std::vector<std::string> parts = SplitEntryName(name);
        if (parts.empty()) {
            return;  // the destination folder itself
        }
        if (archive_entry_hardlink(entry) != nullptr) {
            throw LeaveOut{"it is a hard link, which is not extracted"};
        }
        // What is extracted is the user's alone: the owner's bits of the archive are
        // kept (a program stays a program), group and other get nothing.
        const auto owner = static_cast<mode_t>(archive_entry_perm(entry) & S_IRWXU);
        switch (archive_entry_filetype(entry)) {
        case AE_IFDIR:
            MakeFolder(parts, S_IRWXU);
            break;
        case AE_IFREG:
            WriteFile(entry, parts, owner == 0 ? S_IRUSR | S_IWUSR : owner);
            break;
        case AE_IFLNK: {
            const char* utf8 = archive_entry_symlink_utf8(entry);
            const char* raw = archive_entry_symlink(entry);
            std::string target = utf8 != nullptr ? utf8 : (raw != nullptr ? raw : "");
            if (target.empty()) {
                throw LeaveOut{"it is a link without a target"};
            }
            linkPaths_.insert(Join(parts, parts.size()));
            links_.push_back({name, std::move(parts), std::move(target)});
            break;
        }
        default:
            throw LeaveOut{"it is a device, FIFO or socket, not a file"};
        }
    }

    // The folder that holds the entry, made where missing, reached without following
    // any link (a link planted in the destination is never a way out of it).
    int OpenParent(const std::vector<std::string>& parts) {
        const std::size_t count = parts.size() - 1;
        if (count == 0) {
            return root_;
        }
        const std::string key = Join(parts, count);
        if (cachedParent_ && key == cachedKey_) {
            return cachedParent_.get();
        }
        cachedParent_.reset();
        os::posix::UniqueFd current;
        for (std::size_t i = 0; i < count; ++i) {
            const int at = current ? current.get() : root_;
            const std::string& part = parts[i];
            if (::mkdirat(at, part.c_str(), 0777) != 0 && errno != EEXIST) {
                os::posix::ThrowPathError(errno, folder_ + "/" + Join(parts, i + 1));
            }
            os::posix::UniqueFd next(
                ::openat(at, part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (!next) {
                const int error = errno;
                struct stat info {};
                const bool isLink = ::fstatat(at, part.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
                                    S_ISLNK(info.st_mode);
                if (error == ELOOP || isLink) {
                    throw LeaveOut{"it would be written through the link \"" + Join(parts, i + 1) +
                                   "\""};
                }
                if (error == ENOTDIR) {
                    throw LeaveOut{"\"" + Join(parts, i + 1) + "\" is a file, not a folder"};
                }
                os::posix::ThrowPathError(error, folder_ + "/" + Join(parts, i + 1));
            }
            current = std::move(next);
        }
        cachedParent_ = std::move(current);
        cachedKey_ = key;
        return cachedParent_.get();
    }

    void MakeFolder(const std::vector<std::string>& parts, mode_t mode) {
        const int parent = OpenParent(parts);
        const std::string& name = parts.back();
        if (::mkdirat(parent, name.c_str(), mode) == 0) {
            return;
        }
        if (errno != EEXIST) {
            os::posix::ThrowPathError(errno, folder_ + "/" + Join(parts, parts.size()));
        }
        struct stat info {};
        if (::fstatat(parent, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
            !S_ISDIR(info.st_mode)) {
            throw LeaveOut{S_ISLNK(info.st_mode) ? "a link of that name is in the way"
                                                 : "a file of that name is in the way"};
        }
    }

    void WriteFile(archive_entry* entry, const std::vector<std::string>& parts, mode_t mode) {
        const int parent = OpenParent(parts);
        const std::string path = folder_ + "/" + Join(parts, parts.size());
        if (existing_ == ExistingFiles::Keep && Occupied(parent, parts.back())) {
            return;
        }
        // The file has no name while it is written: an interrupted extraction
        // leaves no half-written file, and a name appears only for whole content.
        os::posix::UnnamedFile file;
        if (const int error = file.Open(parent, path.substr(0, path.rfind('/'))); error != 0) {
            os::posix::ThrowPathError(error, path);
        }
        while (true) {
            const void* block = nullptr;
            std::size_t size = 0;
            la_int64_t offset = 0;
            const int status = archive_read_data_block(reader_, &block, &size, &offset);
            if (status == ARCHIVE_EOF) {
                break;
            }
            // A warning here is a checksum that does not match: damaged data is never
            // put in place of a file.
            if (status != ARCHIVE_OK) {
                ThrowDamaged();
            }
            WriteAt(file.fd(), static_cast<const char*>(block), size, static_cast<off_t>(offset),
                    path);
            ReportPosition();
        }
        if (::fchmod(file.fd(), mode) != 0) {
            os::posix::ThrowPathError(errno, path);
        }
        if (archive_entry_mtime_is_set(entry) != 0) {
            const timespec times[2] = {
                {0, UTIME_NOW}, {archive_entry_mtime(entry), archive_entry_mtime_nsec(entry)}};
            // A file system without time stamps keeps the content all the same.
            static_cast<void>(::futimens(file.fd(), times));
        }
        const int error = file.Commit(parts.back(), existing_ == ExistingFiles::Replace);
        if (error == EISDIR || error == ENOTEMPTY || error == EEXIST) {
            if (existing_ == ExistingFiles::Keep && !Occupied(parent, parts.back(), true)) {
                return;  // appeared meanwhile; kept as asked
            }
            throw LeaveOut{"a folder of that name is in the way"};
        }
        if (error != 0) {
            os::posix::ThrowPathError(error, path);
        }
        if (const int closed = file.CloseDescriptor(); closed != 0) {
            os::posix::ThrowPathError(closed, path);
        }
    }

    // Whether something other than a folder has this name (with `folders`, whether a
    // folder has). A folder in the way is reported when the entry is written.
    static bool Occupied(int parent, const std::string& name, bool folders = false) {
        struct stat info {};
        return ::fstatat(parent, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
               S_ISDIR(info.st_mode) == folders;
    }

    static void WriteAt(int fd, const char* data, std::size_t size, off_t offset,
                        const std::string& path) {
        while (size > 0) {
            const ssize_t done = ::pwrite(fd, data, size, offset);
            if (done < 0) {
                if (errno == EINTR) {
                    continue;
                }
                os::posix::ThrowPathError(errno, path);
            }
            data += done;
            size -= static_cast<std::size_t>(done);
            offset += done;
        }
    }

    void CreateLink(const Link& link) {
        if (link.target.front() == '/') {
            throw LeaveOut{"it is a link leading outside the destination folder (to \"" +
                           link.target + "\")"};
        }
        // Resolve the target from the link's folder, name by name: it must not climb
        // out of the destination, nor pass through a link (which could lead anywhere).
        std::vector<std::string> where(link.parts.begin(), link.parts.end() - 1);
        const std::vector<std::string> steps = SplitTarget(link.target);
        for (std::size_t i = 0; i < steps.size(); ++i) {
            if (steps[i] == "..") {
                if (where.empty()) {
                    throw LeaveOut{"it is a link leading outside the destination folder (to \"" +
                                   link.target + "\")"};
                }
                where.pop_back();
                continue;
            }
            where.push_back(steps[i]);
            if (i + 1 < steps.size() && IsLink(where)) {
                throw LeaveOut{"it is a link whose target passes through another link"};
            }
        }
        const int parent = OpenParent(link.parts);
        if (existing_ == ExistingFiles::Keep && Occupied(parent, link.parts.back())) {
            return;
        }
        const std::string temporary = TemporaryName();
        if (::symlinkat(link.target.c_str(), parent, temporary.c_str()) != 0) {
            os::posix::ThrowPathError(errno, folder_ + "/" + Join(link.parts, link.parts.size()));
        }
        TemporaryEntry created(parent, temporary);
        if (::renameat(parent, temporary.c_str(), parent, link.parts.back().c_str()) != 0) {
            if (errno == EISDIR || errno == ENOTEMPTY || errno == EEXIST) {
                throw LeaveOut{"a folder of that name is in the way"};
            }
            os::posix::ThrowPathError(errno, folder_ + "/" + Join(link.parts, link.parts.size()));
        }
        created.Release();
    }

    static std::vector<std::string> SplitTarget(const std::string& target) {
        std::vector<std::string> steps;
        std::string::size_type start = 0;
        while (start <= target.size()) {
            auto end = target.find('/', start);
            if (end == std::string::npos) {
                end = target.size();
            }
            const std::string step = target.substr(start, end - start);
            if (!step.empty() && step != ".") {
                steps.push_back(step);
            }
            start = end + 1;
        }
        return steps;
    }

    // True when the path (relative to the destination) is, or is about to become, a link.
    bool IsLink(const std::vector<std::string>& parts) const {
        const std::string path = Join(parts, parts.size());
        if (linkPaths_.count(path) != 0) {
            return true;
        }
        struct stat info {};
        return ::fstatat(root_, path.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
               S_ISLNK(info.st_mode);
    }

    void ReportPosition() {
        const la_int64_t position = archive_filter_bytes(reader_, -1);
        if (archiveSize_ > 0 && position > 0) {
            const auto done =
                std::min<std::uint64_t>(static_cast<std::uint64_t>(position), archiveSize_);
            // Never let the bar go back, whatever order the reader visits the file in.
            Report(std::max(percent_, static_cast<int>(done * 99 / archiveSize_)));
        }
        pump_.Tick();
    }

    void Report(int percent) {
        percent_ = percent;
        if (progress_) {
            progress_(percent);
        }
    }

    [[noreturn]] void ThrowDamaged() {
        throw os::RuntimeError(kInvalidFileFormat, "Invalid file format: " + archivePath_ +
                                                       " is damaged or is not a ZIP archive (" +
                                                       ArchiveErrorText(reader_) + ")");
    }

    ExistingFiles existing_;
    archive* reader_;
    int root_;
    std::string folder_;
    std::string archivePath_;
    std::uint64_t archiveSize_;
    const ArchiveProgress& progress_;
    os::ThrottledPump& pump_;
    int percent_ = 0;
    std::string cachedKey_;
    os::posix::UniqueFd cachedParent_;
    std::vector<Link> links_;
    std::set<std::string> linkPaths_;
    std::vector<SkippedEntry> skipped_;
};

// An archive without entries (an empty folder's) is only its end record, which the
// central-directory reader does not take for an archive.
bool IsEmptyZip(int fd) {
    char start[4] = {};
    return ::pread(fd, start, sizeof start, 0) == static_cast<ssize_t>(sizeof start) &&
           start[0] == 'P' && start[1] == 'K' && start[2] == 5 && start[3] == 6;
}

// An archive opened for reading: a plain file, never reached through a link (but
// through the /proc/self/fd path of an unnamed file of this process), read from
// its central directory.
struct OpenedArchive {
    explicit OpenedArchive(const std::string& archivePath) {
        struct stat unnamed {};
        const int noFollow = os::posix::IsUnnamedFile(archivePath, unnamed) ? 0 : O_NOFOLLOW;
        input.reset(::open(archivePath.c_str(), O_RDONLY | noFollow | O_CLOEXEC));
        if (!input) {
            os::posix::ThrowPathError(errno, archivePath);
        }
        if (::fstat(input.get(), &info) != 0) {
            os::posix::ThrowPathError(errno, archivePath);
        }
        if (!S_ISREG(info.st_mode)) {
            os::posix::ThrowPathError(EISDIR, archivePath);
        }
        reader.reset(archive_read_new());
        if (!reader) {
            throw os::RuntimeError(7, "Out of memory");
        }
        // The reader that works from the central directory: it knows every entry's
        // type (a link's mode lives only there) and refuses an archive whose
        // directory is damaged, where a streaming reader would quietly turn links
        // into files.
        const bool opened =
            archive_read_support_format_zip_seekable(reader.get()) == ARCHIVE_OK &&
            archive_read_open_fd(reader.get(), input.get(), std::size_t{64} * 1024) == ARCHIVE_OK;
        empty = !opened && IsEmptyZip(input.get());
        if (!opened && !empty) {
            throw os::RuntimeError(kInvalidFileFormat, "Invalid file format: " + archivePath +
                                                           " is damaged or is not a ZIP archive (" +
                                                           ArchiveErrorText(reader.get()) + ")");
        }
    }

    os::posix::UniqueFd input;
    struct stat info {};
    ArchiveHandle reader;
    bool empty = false;
};

// Whether the entry's name is taken in the folder by a file or link, reached
// without following any link (an entry below a link is left out, so not counted).
bool EntryExists(int root, const std::vector<std::string>& parts) {
    os::posix::UniqueFd current;
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
        os::posix::UniqueFd next(::openat(current ? current.get() : root, parts[i].c_str(),
                                          O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!next) {
            return false;
        }
        current = std::move(next);
    }
    struct stat info {};
    return ::fstatat(current ? current.get() : root, parts.back().c_str(), &info,
                     AT_SYMLINK_NOFOLLOW) == 0 &&
           !S_ISDIR(info.st_mode);
}

}  // namespace

std::size_t LibArchiveReader::CountExisting(const std::string& archivePath,
                                            const std::string& folder) {
    const os::posix::ScopedUtf8Locale utf8;
    OpenedArchive opened(archivePath);
    const os::posix::UniqueFd root(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (opened.empty || !root) {
        return 0;
    }
    std::size_t count = 0;
    while (true) {
        archive_entry* entry = nullptr;
        const int status = archive_read_next_header(opened.reader.get(), &entry);
        if (status == ARCHIVE_EOF) {
            break;
        }
        if (status == ARCHIVE_FATAL) {
            throw os::RuntimeError(kInvalidFileFormat, "Invalid file format: " + archivePath +
                                                           " is damaged or is not a ZIP archive (" +
                                                           ArchiveErrorText(opened.reader.get()) +
                                                           ")");
        }
        const auto type = archive_entry_filetype(entry);
        if (status != ARCHIVE_OK || (type != AE_IFREG && type != AE_IFLNK) ||
            archive_entry_hardlink(entry) != nullptr) {
            continue;
        }
        const char* name = archive_entry_pathname_utf8(entry);
        if (name == nullptr) {
            name = archive_entry_pathname(entry);
        }
        try {
            const std::vector<std::string> parts = SplitEntryName(name != nullptr ? name : "");
            if (!parts.empty() && EntryExists(root.get(), parts)) {
                ++count;
            }
        } catch (const LeaveOut&) {
            // Left out when extracting, so it replaces nothing.
        }
    }
    return count;
}

std::vector<SkippedEntry> LibArchiveReader::ExtractTo(const std::string& archivePath,
                                                      const std::string& folder,
                                                      const ArchiveProgress& progress,
                                                      ExistingFiles existing) {
    const os::posix::ScopedUtf8Locale utf8;
    os::ThrottledPump pump(pump_, yieldInterval_);
    OpenedArchive opened(archivePath);
    const struct stat& info = opened.info;
    ArchiveHandle& reader = opened.reader;
    const bool empty = opened.empty;
    // The destination is made only for an archive that can be read.
    if (!os::posix::MakeDirectories(folder, 0777)) {
        os::posix::ThrowPathError(errno != 0 ? errno : ENOTDIR, folder);
    }
    // The destination the user named may be reached through a link; inside it, none is.
    const os::posix::UniqueFd root(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!root) {
        os::posix::ThrowPathError(errno, folder);
    }
    if (empty) {
        if (progress) {
            progress(0);
            progress(100);
        }
        return {};
    }
    std::string display = folder;
    kit::TrimTrailingSeparators(display);
    Extractor extractor(reader.get(), root.get(), display, archivePath,
                        static_cast<std::uint64_t>(info.st_size), progress, pump, existing);
    extractor.Run();
    return extractor.TakeSkipped();
}

}  // namespace orvelle::filesecurity::libarchive
