#pragma once

#include "os/FolderTree.h"

#include <string>
#include <vector>

namespace orvelle::os {

// The recycle bins (on Linux: the freedesktop trash folders) of every drive.
class IRecycleBin {
public:
    virtual ~IRecycleBin() = default;

    // Empties every bin without asking; true when nothing stayed behind. Throws
    // RuntimeError only when the bins cannot be looked for at all.
    virtual bool EmptyAll() = 0;
    // The user's own bin, as a text to show (the bins of other drives are emptied too).
    [[nodiscard]] virtual std::string Location() = 0;
    // The folders that EmptyAll empties, as they are now (for a preview).
    [[nodiscard]] virtual std::vector<std::string> BinFolders() const { return {}; }
    // What the last EmptyAll could not delete, each with its full path, or a bin it
    // could not empty at all; then forgets them.
    [[nodiscard]] virtual std::vector<DeleteFailure> TakeFailures() { return {}; }
};

}  // namespace orvelle::os
