#pragma once

#include <sys/types.h>

#include <string>
#include <utility>
#include <vector>

namespace orvelle::os::posix {

// The plain files that some process holds open, found by one scan of /proc/*/fd.
// Windows refuses to delete a file in use; a cleaning walk keeps these files the
// same way. Processes of other users whose descriptors cannot be read are skipped.
class OpenFileSet {
public:
    OpenFileSet() = default;

    // Scans every process's open descriptors under `procRoot`.
    [[nodiscard]] static OpenFileSet Scan(const std::string& procRoot = "/proc");

    [[nodiscard]] bool Contains(dev_t device, ino_t inode) const;
    // True when any open file lives on `device` (lets a walk skip the per-file check).
    [[nodiscard]] bool AnyOn(dev_t device) const;
    [[nodiscard]] std::size_t Size() const noexcept { return files_.size(); }

private:
    std::vector<std::pair<dev_t, ino_t>> files_;  // sorted, unique
};

}  // namespace orvelle::os::posix
