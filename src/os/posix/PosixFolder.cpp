#include "PosixFolder.h"

#include "SameFile.h"

#include "XdgPaths.h"
#include "kit/PathText.h"
#include "os/RuntimeError.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

namespace orvelle::os::posix {
namespace {

constexpr std::int32_t kTooManyFiles = 67;

struct DirCloser {
    void operator()(DIR* dir) const noexcept { ::closedir(dir); }
};
using UniqueDir = std::unique_ptr<DIR, DirCloser>;

[[noreturn]] void ThrowWalkError(int error, const std::string& name) {
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        throw RuntimeError(errors::kPathNotFound, "Path not found");
    case EACCES:
    case EPERM:
        throw RuntimeError(errors::kPermissionDenied, "Permission denied");
    case ELOOP:
        throw RuntimeError(errors::kPathFileAccessError,
                           "Not followed: \"" + name + "\" is a symbolic link");
    case EMFILE:
    case ENFILE:
        throw RuntimeError(kTooManyFiles, "Too many files");
    default:
        throw RuntimeError(errors::kDeviceIoError,
                           std::string("Device I/O error (") + std::strerror(error) + ")");
    }
}

[[noreturn]] void Refuse(const std::string& why) {
    throw RuntimeError(errors::kPermissionDenied, "Not cleaned: " + why);
}

std::string WithoutTrailingSlashes(std::string path) {
    kit::TrimTrailingSeparators(path);
    return path;
}

std::string PasswdHome() {
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* result = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &result) == 0 &&
        result != nullptr && result->pw_dir != nullptr && result->pw_dir[0] == '/') {
        return result->pw_dir;
    }
    return {};
}

// Refuses the folder `root` (already open) when it is "/", a home folder, or above one.
void CheckNotRootOrHome(const std::string& path, const struct stat& root) {
    struct stat info {};
    if (::stat("/", &info) == 0 && SameFile(info, root)) {
        Refuse("\"" + path + "\" is the root folder");
    }
    for (const std::string& home : {XdgPaths::Home(), PasswdHome()}) {
        if (home.empty() || home[0] != '/') {
            continue;
        }
        // The home folder and every folder above it, compared by identity so that
        // other spellings and linked parents are caught too.
        std::string folder = WithoutTrailingSlashes(home);
        bool isHome = true;
        while (true) {
            if (::stat(folder.c_str(), &info) == 0 && SameFile(info, root)) {
                Refuse("\"" + path + "\" " +
                       (isHome ? "is your home folder" : "holds your home folder"));
            }
            if (folder == "/") {
                break;
            }
            const auto slash = folder.rfind('/');
            folder = slash == 0 ? std::string("/") : folder.substr(0, slash);
            isHome = false;
        }
    }
}

bool MountIdOf(int dirFd, const char* name, int flags, std::uint64_t& mountId, bool& isMountRoot,
               dev_t& device) {
    struct statx info {};
    if (::statx(dirFd, name, flags | AT_NO_AUTOMOUNT, STATX_TYPE | STATX_MNT_ID, &info) != 0) {
        return false;
    }
    device = makedev(info.stx_dev_major, info.stx_dev_minor);
    isMountRoot = (info.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) != 0 &&
                  (info.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
    if ((info.stx_mask & STATX_MNT_ID) != 0) {
        mountId = info.stx_mnt_id;
        return true;
    }
    mountId = 0;
    return true;
}

}  // namespace

bool PosixFolder::IsShared(const struct stat& info, uid_t user) {
    return (info.st_mode & (S_ISVTX | S_IWGRP | S_IWOTH)) != 0 || info.st_uid != user;
}

// One folder of a walk: where it is (its parent and name; the full path for the
// root), what it is (device and inode) and, while the budget allows, its descriptor.
struct PosixFolder::Node {
    std::shared_ptr<Node> parent;
    std::string name;
    dev_t device = 0;
    ino_t inode = 0;
    std::size_t depth = 0;
    UniqueFd fd;
    std::shared_ptr<Budget> budget;

    Node() = default;
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;
    ~Node() {
        // Going back up: the parent, when it gave its descriptor away, takes one again
        // through this folder's "..", which costs one call and no walk from the top.
        if (fd && parent && !parent->fd) {
            UniqueFd up(::openat(fd.get(), "..", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            struct stat info {};
            if (up && ::fstat(up.get(), &info) == 0 && info.st_dev == parent->device &&
                info.st_ino == parent->inode) {
                parent->Take(std::move(up));
            }
        }
        if (fd) {
            budget->Closed(*this);
        }
    }

    void Take(UniqueFd opened) {
        fd = std::move(opened);
        budget->Opened(*this);
    }

    // Opens this folder again: from the nearest ancestor that still has a
    // descriptor (or the root's path), name by name, each checked to be the
    // folder first seen there.
    int Reopen() {
        std::vector<Node*> chain;
        for (Node* node = this; node != nullptr && !node->fd; node = node->parent.get()) {
            chain.push_back(node);
        }
        for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
            Node& node = **it;
            const int flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
            UniqueFd opened(node.parent ? ::openat(node.parent->fd.get(), node.name.c_str(), flags)
                                        : ::open(node.name.c_str(), flags));
            struct stat info {};
            if (!opened || ::fstat(opened.get(), &info) != 0 || info.st_dev != node.device ||
                info.st_ino != node.inode) {
                throw RuntimeError(errors::kPathFileAccessError,
                                   "Not cleaned: \"" + node.name +
                                       "\" was moved or replaced while it was being cleaned");
            }
            node.Take(std::move(opened));
        }
        return fd.get();
    }
};

void PosixFolder::Budget::Opened(Node& node) {
    open.insert({node.depth, &node});
    while (open.size() > kDescriptorBudget) {
        auto shallowest = open.begin();
        if (shallowest->second == &node) {
            ++shallowest;
        }
        Node* evicted = shallowest->second;
        open.erase(shallowest);
        evicted->fd = UniqueFd();
    }
}

void PosixFolder::Budget::Closed(Node& node) {
    open.erase({node.depth, &node});
}

std::unique_ptr<PosixFolder> PosixFolder::OpenRoot(const std::string& givenPath,
                                                   std::shared_ptr<const OpenFileSet> openFiles,
                                                   std::optional<AgeRule> ifShared) {
    if (givenPath.empty()) {
        Refuse("no folder was given");
    }
    if (givenPath[0] != '/') {
        Refuse("\"" + givenPath + "\" is not a full path");
    }
    // A trailing "/" would make the kernel follow a link in the last component.
    const std::string path = WithoutTrailingSlashes(givenPath);
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd) {
        const int error = errno;
        struct stat info {};
        if (error == ELOOP ||
            (error == ENOTDIR && ::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode))) {
            Refuse("\"" + path + "\" is a symbolic link");
        }
        ThrowWalkError(error, path);
    }
    struct stat root {};
    if (::fstat(fd.get(), &root) != 0) {
        ThrowWalkError(errno, path);
    }
    CheckNotRootOrHome(path, root);

    auto walk = std::make_shared<Walk>();
    walk->device = root.st_dev;
    bool isMountRoot = false;
    dev_t device = 0;
    walk->hasMountId = MountIdOf(fd.get(), "", AT_EMPTY_PATH, walk->mountId, isMountRoot, device) &&
                       walk->mountId != 0;
    walk->openFiles =
        openFiles ? std::move(openFiles) : std::make_shared<const OpenFileSet>(OpenFileSet::Scan());
    walk->anyOpenOnDevice = walk->openFiles->AnyOn(walk->device);
    if (ifShared && IsShared(root, ifShared->user)) {
        walk->ageRule = ifShared;
    }
    auto node = std::make_shared<Node>();
    node->name = path;
    node->device = root.st_dev;
    node->inode = root.st_ino;
    node->budget = walk->budget;
    node->Take(std::move(fd));
    return std::make_unique<PosixFolder>(std::move(node), std::move(walk));
}

PosixFolder::PosixFolder(std::shared_ptr<Node> node, std::shared_ptr<const Walk> walk)
    : node_(std::move(node)), walk_(std::move(walk)) {
}

PosixFolder::~PosixFolder() = default;

int PosixFolder::Fd() const {
    return node_->fd ? node_->fd.get() : node_->Reopen();
}

bool PosixFolder::OnWalkMount(const std::string& name) const {
    std::uint64_t mountId = 0;
    bool isMountRoot = false;
    dev_t device = 0;
    if (!MountIdOf(Fd(), name.c_str(), AT_SYMLINK_NOFOLLOW, mountId, isMountRoot, device)) {
        return false;
    }
    if (device != walk_->device || isMountRoot) {
        return false;
    }
    // A bind mount of the same file system keeps the device number: the mount id tells.
    return !walk_->hasMountId || mountId == walk_->mountId;
}

bool PosixFolder::MayGo(const struct stat& info) const {
    if (!walk_->ageRule) {
        return true;
    }
    const AgeRule& rule = *walk_->ageRule;
    return info.st_uid == rule.user && info.st_mtime < rule.before && info.st_atime < rule.before &&
           info.st_ctime < rule.before;
}

void PosixFolder::Fail(const std::string& name, int error) {
    failures_.push_back({name, std::strerror(error)});
}

std::vector<DeleteFailure> PosixFolder::TakeFailures() {
    return std::exchange(failures_, {});
}

std::vector<FolderEntry> PosixFolder::List() {
    // A descriptor of its own, so that reading never moves this folder's offset.
    UniqueFd listFd(::openat(Fd(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!listFd) {
        ThrowWalkError(errno, ".");
    }
    UniqueDir dir(::fdopendir(listFd.get()));
    if (!dir) {
        ThrowWalkError(errno, ".");
    }
    static_cast<void>(listFd.release());  // the stream owns it now

    std::vector<FolderEntry> entries;
    while (true) {
        errno = 0;
        const dirent* entry = ::readdir(dir.get());
        if (entry == nullptr) {
            if (errno != 0) {
                ThrowWalkError(errno, ".");
            }
            break;
        }
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) {
            continue;
        }
        unsigned char type = entry->d_type;
        if (type == DT_UNKNOWN) {
            struct stat info {};
            if (::fstatat(Fd(), name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
                continue;  // gone meanwhile
            }
            type = S_ISREG(info.st_mode)   ? DT_REG
                   : S_ISDIR(info.st_mode) ? DT_DIR
                   : S_ISLNK(info.st_mode) ? DT_LNK
                                           : DT_SOCK;
        }
        EntryKind kind = EntryKind::Kept;
        switch (type) {
        case DT_REG:
            kind = EntryKind::File;
            break;
        case DT_LNK:
            kind = EntryKind::Link;
            break;
        case DT_DIR:
            kind = OnWalkMount(name) ? EntryKind::Folder : EntryKind::Kept;
            if (kind == EntryKind::Folder && walk_->ageRule) {
                // Another user's folder is not entered at all; one of ours is, but
                // goes only when it was old before the walk looked into it.
                struct stat info {};
                if (::fstatat(Fd(), name, &info, AT_SYMLINK_NOFOLLOW) != 0 ||
                    info.st_uid != walk_->ageRule->user) {
                    kind = EntryKind::Kept;
                } else if (MayGo(info)) {
                    oldFolders_.insert(name);
                }
            }
            break;
        default:
            break;  // sockets, FIFOs, devices
        }
        entries.push_back({name, kind, name[0] == '.'});
    }
    return entries;
}

std::unique_ptr<PosixFolder> PosixFolder::OpenChild(const std::string& name) {
    UniqueFd fd(::openat(Fd(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd) {
        ThrowWalkError(errno, name);
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) {
        ThrowWalkError(errno, name);
    }
    std::uint64_t mountId = 0;
    bool isMountRoot = false;
    dev_t device = 0;
    if (info.st_dev != walk_->device ||
        !MountIdOf(fd.get(), "", AT_EMPTY_PATH, mountId, isMountRoot, device) || isMountRoot ||
        (walk_->hasMountId && mountId != walk_->mountId)) {
        throw RuntimeError(errors::kPermissionDenied,
                           "Not cleaned: \"" + name + "\" is on another file system");
    }
    auto node = std::make_shared<Node>();
    node->parent = node_;
    node->name = name;
    node->device = info.st_dev;
    node->inode = info.st_ino;
    node->depth = node_->depth + 1;
    node->budget = walk_->budget;
    node->Take(std::move(fd));
    return std::make_unique<PosixFolder>(std::move(node), walk_);
}

std::unique_ptr<IFolder> PosixFolder::OpenFolder(const std::string& name) {
    return OpenChild(name);
}

std::optional<std::uint64_t> PosixFolder::DeletableFileSize(const std::string& name) const {
    struct stat info {};
    if (::fstatat(Fd(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
        return std::nullopt;
    }
    if (S_ISREG(info.st_mode)) {
        if (walk_->anyOpenOnDevice && walk_->openFiles->Contains(info.st_dev, info.st_ino)) {
            return std::nullopt;  // in use
        }
    } else if (!S_ISLNK(info.st_mode)) {
        return std::nullopt;  // a folder, socket, FIFO or device
    }
    if (!MayGo(info)) {
        return std::nullopt;  // someone else's, or touched within the rule's age
    }
    return static_cast<std::uint64_t>(info.st_blocks) * 512U;
}

std::uint64_t PosixFolder::OwnSize() const {
    struct stat info {};
    return ::fstat(Fd(), &info) == 0 ? static_cast<std::uint64_t>(info.st_blocks) * 512U : 0;
}

bool PosixFolder::DeleteFile(const std::string& name) {
    if (!DeletableFileSize(name)) {
        return false;
    }
    if (::unlinkat(Fd(), name.c_str(), 0) == 0 || errno == ENOENT) {
        return true;
    }
    Fail(name, errno);
    return false;
}

bool PosixFolder::DeleteFolder(const std::string& name) {
    if (walk_->ageRule && oldFolders_.count(name) == 0) {
        return false;  // not old enough, or never listed as ours
    }
    if (::unlinkat(Fd(), name.c_str(), AT_REMOVEDIR) == 0 || errno == ENOENT) {
        return true;
    }
    if (errno != ENOTEMPTY && errno != EEXIST) {
        Fail(name, errno);
        return false;
    }
    // Something is still in it: remove that under the same rules, depth first, with
    // an explicit stack so that a deep tree cannot exhaust the call stack.
    struct Level {
        std::unique_ptr<PosixFolder> folder;
        std::vector<FolderEntry> entries;
        std::size_t next = 0;
        std::string name;
    };
    std::vector<Level> stack;
    try {
        auto child = OpenChild(name);
        auto entries = child->List();
        stack.push_back({std::move(child), std::move(entries), 0, name});
    } catch (const RuntimeError& error) {
        failures_.push_back({name, error.Description()});
        return false;  // cannot be entered: it stays
    }
    while (!stack.empty()) {
        Level& top = stack.back();
        if (top.next < top.entries.size()) {
            const FolderEntry entry = top.entries[top.next++];
            PosixFolder& folder = *top.folder;
            if (entry.kind == EntryKind::File || entry.kind == EntryKind::Link) {
                // What cannot be deleted stays, and so do the folders that hold it.
                static_cast<void>(folder.DeleteFile(entry.name));
            } else if (entry.kind == EntryKind::Folder &&
                       (!walk_->ageRule || folder.oldFolders_.count(entry.name) != 0) &&
                       ::unlinkat(folder.Fd(), entry.name.c_str(), AT_REMOVEDIR) != 0 &&
                       errno != ENOENT) {
                if (errno != ENOTEMPTY && errno != EEXIST) {
                    folder.Fail(entry.name, errno);
                    continue;
                }
                try {
                    auto child = folder.OpenChild(entry.name);
                    auto entries = child->List();
                    stack.push_back({std::move(child), std::move(entries), 0, entry.name});
                } catch (const RuntimeError& error) {
                    // Cannot be entered: it stays, and so does its parent.
                    folder.failures_.push_back({entry.name, error.Description()});
                }
            }
            continue;
        }
        const std::string done = top.name;
        std::vector<DeleteFailure> failed = top.folder->TakeFailures();
        stack.pop_back();
        PosixFolder& parent = stack.empty() ? *this : *stack.back().folder;
        for (DeleteFailure& failure : failed) {
            parent.failures_.push_back({done + "/" + failure.path, std::move(failure.reason)});
        }
        int parentFd = -1;
        try {
            parentFd = parent.Fd();
        } catch (const RuntimeError& error) {
            // A folder above was moved meanwhile: what is left stays.
            parent.failures_.push_back({done, error.Description()});
            return false;
        }
        if (::unlinkat(parentFd, done.c_str(), AT_REMOVEDIR) != 0 && errno != ENOENT) {
            if (errno != ENOTEMPTY && errno != EEXIST) {
                parent.Fail(done, errno);
            }
            if (stack.empty()) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace orvelle::os::posix
