#pragma once

#include "os/RecycleBin.h"

#include <string>
#include <vector>

namespace orvelle::os::posix {

// The recycle bins as the freedesktop.org Trash standard keeps them, emptied
// directly (GIO's trash:// needs gvfs and a session bus): the home trash
// $XDG_DATA_HOME/Trash and, for every mount, $topdir/.Trash/$uid (when .Trash is a
// real sticky folder) and $topdir/.Trash-$uid (when it is a real folder of this
// user). Their files/ and info/ are emptied and directorysizes removed, with the
// same safe deletion as a cleaning walk; an entry's .trashinfo goes only once its
// file is gone, so that nothing stays on disk that the desktop's Trash no longer shows.
class FreedesktopTrash final : public IRecycleBin {
public:
    explicit FreedesktopTrash(std::string mountsFile = "/proc/self/mounts");

    bool EmptyAll() override;
    [[nodiscard]] std::string Location() override;
    [[nodiscard]] std::vector<DeleteFailure> TakeFailures() override;
    [[nodiscard]] std::vector<std::string> BinFolders() const override { return TrashFolders(); }

    // Every trash folder of this user that exists now, the home trash first.
    [[nodiscard]] std::vector<std::string> TrashFolders() const;

    // The mount points listed in a mounts file, with its octal escapes decoded;
    // pseudo file systems (proc, sysfs, cgroups, autofs …) left out.
    [[nodiscard]] static std::vector<std::string> MountPoints(const std::string& mountsFile);

private:
    std::string mountsFile_;
    std::vector<DeleteFailure> failures_;
};

}  // namespace orvelle::os::posix
