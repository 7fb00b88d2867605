#pragma once

#include "os/FolderTree.h"

#include <ctime>
#include <functional>

namespace orvelle::os::posix {

// Starts cleaning walks on the local file systems (see PosixFolder). Each walk scans
// the processes' open files once, when its root is opened.
class PosixFolderTree final : public IFolderTree {
public:
    // `now` gives the time the age rule of a shared temporary folder counts from.
    explicit PosixFolderTree(std::function<std::time_t()> now = {}) : now_(std::move(now)) {}

    [[nodiscard]] std::unique_ptr<IFolder> OpenRoot(const std::string& path) override;
    [[nodiscard]] std::unique_ptr<IFolder> OpenTemporaryRoot(const std::string& path,
                                                             bool& shared) override;

    // How long an entry of a shared temporary folder must be left alone before it
    // may go: the age systemd-tmpfiles gives /tmp's entries by default on Debian.
    static constexpr std::time_t kSharedTemporaryAge = std::time_t{24} * 60 * 60;

private:
    std::function<std::time_t()> now_;
};

}  // namespace orvelle::os::posix
