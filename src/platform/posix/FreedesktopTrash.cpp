#include "FreedesktopTrash.h"

#include "OpenFileSet.h"
#include "PosixFolder.h"
#include "XdgPaths.h"
#include "platform/RuntimeError.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <memory>
#include <sstream>
#include <string_view>

namespace orvelle::platform::posix {
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

// Empties one trash folder; false when something stayed.
bool EmptyTrashFolder(const std::string& trash, const std::shared_ptr<const OpenFileSet>& open) {
    std::unique_ptr<PosixFolder> root;
    try {
        root = PosixFolder::OpenRoot(trash, open);
    } catch (const RuntimeError&) {
        return false;
    }
    bool complete = true;
    for (const char* part : {"files", "info"}) {
        std::unique_ptr<IFolder> folder;
        std::vector<FolderEntry> entries;
        try {
            folder = root->OpenFolder(part);
            entries = folder->List();
        } catch (const RuntimeError& error) {
            // A trash without this part is simply empty there.
            complete = complete && error.Number() == errors::kPathNotFound;
            continue;
        }
        for (const FolderEntry& entry : entries) {
            switch (entry.kind) {
            case EntryKind::File:
            case EntryKind::Link:
                complete = folder->DeleteFile(entry.name) && complete;
                break;
            case EntryKind::Folder:
                complete = folder->DeleteFolder(entry.name) && complete;
                break;
            case EntryKind::Kept:
                complete = false;
                break;
            }
        }
    }
    struct stat info {};
    if (::lstat(Join(trash, "directorysizes").c_str(), &info) == 0) {
        complete = root->DeleteFile("directorysizes") && complete;
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

bool FreedesktopTrash::EmptyAll() {
    const auto open = std::make_shared<const OpenFileSet>(OpenFileSet::Scan());
    bool complete = true;
    for (const std::string& trash : TrashFolders()) {
        complete = EmptyTrashFolder(trash, open) && complete;
    }
    return complete;
}

}  // namespace orvelle::platform::posix
