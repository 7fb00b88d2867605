#include "FreedesktopTrash.h"

#include "OpenFileSet.h"
#include "PosixFolder.h"
#include "XdgPaths.h"
#include "os/RuntimeError.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string_view>
#include <utility>

namespace orvelle::os::posix {
namespace {

// File systems that never hold a user's files; looking into them (autofs above
// all) could only cost time or trigger mounts.
constexpr std::array<std::string_view, 23> kPseudoFileSystems{
    "autofs",    "binfmt_misc", "bpf",      "cgroup",          "cgroup2",    "configfs",
    "debugfs",   "devpts",      "devtmpfs", "efivarfs",        "fusectl",    "hugetlbfs",
    "mqueue",    "nsfs",        "proc",     "pstore",          "rpc_pipefs", "securityfs",
    "selinuxfs", "sysfs",       "tracefs",  "fuse.gvfsd-fuse", "fuse.portal"};

bool IsOctal(char c) {
    return c >= '0' && c <= '7';
}

// Mount points are written with spaces, tabs, newlines and backslashes as "\ooo".
std::string DecodeMountField(const std::string& field) {
    std::string text;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && IsOctal(field[i + 1]) &&
            IsOctal(field[i + 2]) && IsOctal(field[i + 3])) {
            text += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                                      (field[i + 3] - '0'));
            i += 3;
        } else {
            text += field[i];
        }
    }
    return text;
}

bool IsRealFolder(const std::string& path, struct stat& info) {
    return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string Join(const std::string& folder, const std::string& name) {
    return folder == "/" ? "/" + name : folder + "/" + name;
}

constexpr std::string_view kInfoSuffix = ".trashinfo";

// Empties one trash folder; false when something stayed. What could not be
// deleted is added to `failures` with its full path.
bool EmptyTrashFolder(const std::string& trash, const std::shared_ptr<const OpenFileSet>& open,
                      std::vector<DeleteFailure>& failures) {
    std::unique_ptr<PosixFolder> root;
    try {
        root = PosixFolder::OpenRoot(trash, open);
    } catch (const RuntimeError& error) {
        failures.push_back({trash, error.Description()});
        return false;
    }
    bool complete = true;
    std::set<std::string> stayed;  // names in files/ that are still there
    for (const char* part : {"files", "info"}) {
        const bool isInfo = std::string_view(part) == "info";
        std::unique_ptr<IFolder> folder;
        std::vector<FolderEntry> entries;
        try {
            folder = root->OpenFolder(part);
            entries = folder->List();
        } catch (const RuntimeError& error) {
            // A trash without this part is simply empty there.
            if (error.Number() != errors::kPathNotFound) {
                complete = false;
                failures.push_back({Join(trash, part), error.Description()});
                if (!isInfo) {
                    return false;  // its files' records must stay with them
                }
            }
            continue;
        }
        for (const FolderEntry& entry : entries) {
            if (isInfo) {
                const std::string_view name(entry.name);
                if (name.size() > kInfoSuffix.size() &&
                    name.substr(name.size() - kInfoSuffix.size()) == kInfoSuffix &&
                    stayed.count(std::string(name.substr(0, name.size() - kInfoSuffix.size()))) !=
                        0) {
                    continue;  // its file is still in the trash
                }
            }
            bool gone = false;
            switch (entry.kind) {
            case EntryKind::File:
            case EntryKind::Link:
                gone = folder->DeleteFile(entry.name);
                break;
            case EntryKind::Folder:
                gone = folder->DeleteFolder(entry.name);
                break;
            case EntryKind::Kept:
                break;
            }
            if (!gone) {
                complete = false;
                stayed.insert(entry.name);
            }
        }
        for (const DeleteFailure& failure : folder->TakeFailures()) {
            failures.push_back({Join(Join(trash, part), failure.path), failure.reason});
        }
    }
    struct stat info {};
    if (::lstat(Join(trash, "directorysizes").c_str(), &info) == 0) {
        complete = root->DeleteFile("directorysizes") && complete;
        for (const DeleteFailure& failure : root->TakeFailures()) {
            failures.push_back({Join(trash, failure.path), failure.reason});
        }
    }
    return complete;
}

std::string HomeTrash() {
    return XdgPaths::DataHome() + "/Trash";
}

}  // namespace

FreedesktopTrash::FreedesktopTrash(std::string mountsFile) : mountsFile_(std::move(mountsFile)) {
}

std::string FreedesktopTrash::Location() {
    return HomeTrash();
}

std::vector<std::string> FreedesktopTrash::MountPoints(const std::string& mountsFile) {
    std::vector<std::string> points;
    std::ifstream file(mountsFile);
    std::string line;
    while (std::getline(file, line)) {
        std::istringstream fields(line);
        std::string device;
        std::string point;
        std::string type;
        if (!(fields >> device >> point >> type)) {
            continue;
        }
        if (std::find(kPseudoFileSystems.begin(), kPseudoFileSystems.end(), type) !=
            kPseudoFileSystems.end()) {
            continue;
        }
        point = DecodeMountField(point);
        if (!point.empty() && point[0] == '/' &&
            std::find(points.begin(), points.end(), point) == points.end()) {
            points.push_back(point);
        }
    }
    return points;
}

std::vector<std::string> FreedesktopTrash::TrashFolders() const {
    std::vector<std::string> folders;
    std::vector<std::pair<dev_t, ino_t>> seen;
    const auto add = [&](const std::string& path, const struct stat& info) {
        const auto identity = std::make_pair(info.st_dev, info.st_ino);
        if (std::find(seen.begin(), seen.end(), identity) == seen.end()) {
            seen.push_back(identity);
            folders.push_back(path);
        }
    };
    struct stat info {};
    const std::string home = HomeTrash();
    if (IsRealFolder(home, info)) {
        add(home, info);
    }
    const std::string uid = std::to_string(::getuid());
    for (const std::string& top : MountPoints(mountsFile_)) {
        // $topdir/.Trash must be a real folder with the sticky bit, or it is not used.
        const std::string shared = Join(top, ".Trash");
        if (IsRealFolder(shared, info) && (info.st_mode & S_ISVTX) != 0) {
            const std::string mine = shared + "/" + uid;
            if (IsRealFolder(mine, info) && info.st_uid == ::getuid()) {
                add(mine, info);
            }
        }
        const std::string own = Join(top, ".Trash-" + uid);
        if (IsRealFolder(own, info) && info.st_uid == ::getuid()) {
            add(own, info);
        }
    }
    return folders;
}

std::vector<DeleteFailure> FreedesktopTrash::TakeFailures() {
    return std::exchange(failures_, {});
}

bool FreedesktopTrash::EmptyAll() {
    const auto open = std::make_shared<const OpenFileSet>(OpenFileSet::Scan());
    bool complete = true;
    for (const std::string& trash : TrashFolders()) {
        complete = EmptyTrashFolder(trash, open, failures_) && complete;
    }
    return complete;
}

}  // namespace orvelle::os::posix
