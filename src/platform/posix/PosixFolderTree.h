#pragma once

#include "platform/FolderTree.h"

namespace orvelle::platform::posix {

// Starts cleaning walks on the local file systems (see PosixFolder). Each walk scans
// the processes' open files once, when its root is opened.
class PosixFolderTree final : public IFolderTree {
public:
    [[nodiscard]] std::unique_ptr<IFolder> OpenRoot(const std::string& path) override;
};

}  // namespace orvelle::platform::posix
