#include "TraceFiles.h"

#include "PosixFolder.h"
#include "os/RuntimeError.h"

#include <ftw.h>
#include <sys/stat.h>

#include <sstream>
#include <vector>

namespace orvelle::traces {
namespace {

using os::EntryKind;
using os::IFolder;
using os::RuntimeError;
using os::posix::OpenFileSet;
using os::posix::PosixFolder;

thread_local std::uint64_t walkTotal = 0;

int AddBlocks(const char*, const struct stat* info, int type, FTW*) {
    if (type == FTW_F || type == FTW_SL || type == FTW_D || type == FTW_DP) {
        walkTotal += static_cast<std::uint64_t>(info->st_blocks) * 512U;
    }
    return 0;
}

std::vector<std::string> Parts(const std::string& relative) {
    std::vector<std::string> parts;
    std::stringstream stream(relative);
    std::string part;
    while (std::getline(stream, part, '/')) {
        if (!part.empty()) {
            parts.push_back(part);
        }
    }
    return parts;
}

// Opens `base` and walks down `parts` (all but the last when `keepLast`); null
// with `missing` set when a folder on the way is not there.
std::unique_ptr<IFolder> Descend(const std::string& base, const std::vector<std::string>& parts,
                                 std::size_t count,
                                 const std::shared_ptr<const OpenFileSet>& openFiles,
                                 bool& missing) {
    missing = false;
    struct stat info {};
    if (::lstat(base.c_str(), &info) != 0) {
        missing = true;
        return nullptr;
    }
    std::unique_ptr<IFolder> folder = PosixFolder::OpenRoot(base, openFiles);
    for (std::size_t i = 0; i < count; ++i) {
        bool found = false;
        for (const auto& entry : folder->List()) {
            if (entry.name == parts[i]) {
                found = true;
                if (entry.kind != EntryKind::Folder) {
                    throw RuntimeError(
                        os::errors::kPathFileAccessError,
                        "Not cleaned: \"" + parts[i] + "\" is a symbolic link or not a folder");
                }
            }
        }
        if (!found) {
            missing = true;
            return nullptr;
        }
        folder = folder->OpenFolder(parts[i]);
    }
    return folder;
}

}  // namespace

std::uint64_t SizeOnDisk(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        return 0;
    }
    if (!S_ISDIR(info.st_mode)) {
        return static_cast<std::uint64_t>(info.st_blocks) * 512U;
    }
    walkTotal = 0;
    static_cast<void>(::nftw(path.c_str(), AddBlocks, 16, FTW_PHYS | FTW_MOUNT));
    return walkTotal;
}

bool HeldOpen(const std::string& path, const OpenFileSet& openFiles) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           openFiles.Contains(info.st_dev, info.st_ino);
}

std::string CheckBase(const std::string& base) {
    try {
        static_cast<void>(PosixFolder::OpenRoot(base, std::make_shared<const OpenFileSet>()));
    } catch (const RuntimeError& error) {
        return error.Description();
    }
    return {};
}

std::string DeleteWholeFile(const std::string& base, const std::string& relative,
                            const std::shared_ptr<const OpenFileSet>& openFiles) {
    const auto parts = Parts(relative);
    if (parts.empty()) {
        return "Not cleaned: no file was named";
    }
    try {
        bool missing = false;
        auto folder = Descend(base, parts, parts.size() - 1, openFiles, missing);
        if (missing) {
            return {};
        }
        const std::string& name = parts.back();
        const std::string full = base + "/" + relative;
        // Companions first, so that no -wal or -journal outlives its database.
        const std::vector<std::string> names = {name + "-journal", name + "-wal", name + "-shm",
                                                name};
        for (const std::string& each : names) {
            if (HeldOpen(base + "/" + relative.substr(0, relative.size() - name.size()) + each,
                         *openFiles)) {
                return "Not cleaned: \"" + full + "\" is open in another program";
            }
        }
        for (const std::string& each : names) {
            struct stat info {};
            const std::string path =
                base + "/" + relative.substr(0, relative.size() - name.size()) + each;
            if (::lstat(path.c_str(), &info) != 0) {
                continue;
            }
            if (!folder->DeleteFile(each)) {
                return "Could not delete \"" + path + "\"";
            }
        }
    } catch (const RuntimeError& error) {
        return error.Description();
    }
    return {};
}

std::string EmptyFolder(const std::string& base, const std::string& relative,
                        const std::shared_ptr<const OpenFileSet>& openFiles) {
    const auto parts = Parts(relative);
    try {
        bool missing = false;
        auto folder = Descend(base, parts, parts.size(), openFiles, missing);
        if (missing) {
            return {};
        }
        // What is in use stays without a word, as in every walk; kept entries
        // (sockets, other file systems) are not touched. What the system refused to
        // delete is named.
        for (const auto& entry : folder->List()) {
            if (entry.kind == EntryKind::File || entry.kind == EntryKind::Link) {
                static_cast<void>(folder->DeleteFile(entry.name));
            } else if (entry.kind == EntryKind::Folder) {
                static_cast<void>(folder->DeleteFolder(entry.name));
            }
        }
        const auto failures = folder->TakeFailures();
        if (!failures.empty()) {
            const std::string at = relative.empty() ? base : base + "/" + relative;
            std::string text = "Not erased: " + at + "/" + failures.front().path + " (" +
                               failures.front().reason + ")";
            if (failures.size() > 1) {
                text += " and " + std::to_string(failures.size() - 1) + " more in " + at;
            }
            return text;
        }
    } catch (const RuntimeError& error) {
        return error.Description();
    }
    return {};
}

std::string DeleteWholeFolder(const std::string& base, const std::string& relative,
                              const std::shared_ptr<const OpenFileSet>& openFiles) {
    const auto parts = Parts(relative);
    if (parts.empty()) {
        return "Not cleaned: no folder was named";
    }
    try {
        bool missing = false;
        auto parent = Descend(base, parts, parts.size() - 1, openFiles, missing);
        if (missing) {
            return {};
        }
        for (const auto& entry : parent->List()) {
            if (entry.name != parts.back()) {
                continue;
            }
            if (entry.kind != EntryKind::Folder) {
                return "Not cleaned: \"" + base + "/" + relative +
                       "\" is a symbolic link or not a folder";
            }
            if (!parent->DeleteFolder(entry.name)) {
                return "Not everything of \"" + base + "/" + relative +
                       "\" could be deleted (in use or not permitted)";
            }
        }
    } catch (const RuntimeError& error) {
        return error.Description();
    }
    return {};
}

}  // namespace orvelle::traces
