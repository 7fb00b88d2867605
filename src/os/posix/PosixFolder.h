#pragma once

#include "OpenFileSet.h"
#include "UniqueFd.h"
#include "os/FolderTree.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>

namespace orvelle::os::posix {

// One open folder of a cleaning walk, held by a descriptor: every call works with
// openat/unlinkat/fstatat relative to it, never follows a symbolic link and never
// leaves the file system (mount) the walk started on. Files that some process holds
// open, sockets, FIFOs and devices are kept, as Windows keeps a file in use.
//
// A walk holds at most kDescriptorBudget descriptors however deep it goes: the
// shallowest folders give theirs back first and open again when the walk returns to
// them, from the child through ".." or from the nearest open folder above by name,
// and only when device and inode are still the ones first seen.
class PosixFolder final : public IFolder {
public:
    // The rule of a folder other users share (a sticky or world-writable /tmp): only
    // `user`'s own entries whose last modification, access and change all lie before
    // `before` may go, and a folder only when it was such an entry before the walk
    // looked into it.
    struct AgeRule {
        uid_t user = 0;
        std::time_t before = 0;
    };

    static constexpr std::size_t kDescriptorBudget = 64;

    struct Node;
    // The open descriptors of one walk, shallowest first.
    struct Budget {
        std::set<std::pair<std::size_t, Node*>> open;
        void Opened(Node& node);
        void Closed(Node& node);
    };

    // What every folder of one walk shares.
    struct Walk {
        std::shared_ptr<const OpenFileSet> openFiles;
        dev_t device = 0;
        std::uint64_t mountId = 0;
        bool hasMountId = false;
        bool anyOpenOnDevice = true;
        std::optional<AgeRule> ageRule;
        std::shared_ptr<Budget> budget = std::make_shared<Budget>();
    };

    // Opens `path` as the root of a walk, after the safety checks: a full path, not
    // a link, not "/", not the home folder nor one above it. `openFiles` null: the
    // processes' open files are scanned once, now. `ifShared`: the rule the walk
    // follows when the folder turns out to be shared (see IsShared). Throws RuntimeError.
    [[nodiscard]] static std::unique_ptr<PosixFolder> OpenRoot(
        const std::string& path, std::shared_ptr<const OpenFileSet> openFiles,
        std::optional<AgeRule> ifShared = std::nullopt);

    // True when users other than `user` may put entries in the folder `info`
    // describes: sticky, writable by group or others, or someone else's.
    [[nodiscard]] static bool IsShared(const struct stat& info, uid_t user);
    // True when this walk follows the rule of a shared folder.
    [[nodiscard]] bool FollowsAgeRule() const { return walk_->ageRule.has_value(); }

    PosixFolder(std::shared_ptr<Node> node, std::shared_ptr<const Walk> walk);
    ~PosixFolder() override;
    PosixFolder(const PosixFolder&) = delete;
    PosixFolder& operator=(const PosixFolder&) = delete;

    [[nodiscard]] std::vector<FolderEntry> List() override;
    [[nodiscard]] std::unique_ptr<IFolder> OpenFolder(const std::string& name) override;
    [[nodiscard]] bool DeleteFile(const std::string& name) override;
    [[nodiscard]] bool DeleteFolder(const std::string& name) override;
    [[nodiscard]] std::vector<DeleteFailure> TakeFailures() override;

    // What DeleteFile would decide, without deleting: the space the file or link
    // takes on disk when it would go, nothing when it would stay.
    [[nodiscard]] std::optional<std::uint64_t> DeletableFileSize(const std::string& name) const;
    // What DeleteFolder would decide by the age rule alone (true without one).
    [[nodiscard]] bool MayRemoveFolder(const std::string& name) const {
        return !walk_->ageRule || oldFolders_.count(name) != 0;
    }
    // The space this folder's own entry list takes on disk.
    [[nodiscard]] std::uint64_t OwnSize() const;

private:
    [[nodiscard]] std::unique_ptr<PosixFolder> OpenChild(const std::string& name);
    // True when `name` (an entry of this folder that is a folder) is on the walk's mount.
    [[nodiscard]] bool OnWalkMount(const std::string& name) const;
    // True when an entry described by `info` may go under the walk's age rule.
    [[nodiscard]] bool MayGo(const struct stat& info) const;
    void Fail(const std::string& name, int error);

    // This folder's descriptor, opened again first when the budget took it.
    [[nodiscard]] int Fd() const;

    std::shared_ptr<Node> node_;
    std::shared_ptr<const Walk> walk_;
    std::vector<DeleteFailure> failures_;
    // Under the age rule: the subfolders that may go, decided when this folder was
    // listed (looking into a folder can change its access time).
    std::set<std::string> oldFolders_;
};

}  // namespace orvelle::os::posix
