#pragma once

#include "UniqueFd.h"
#include "os/InstanceLock.h"

#include <string>

namespace orvelle::os::posix {

// A per-user lock file held with flock(2): the kernel drops the lock when the
// holder dies, so a killed first copy never blocks the next start.
class FlockInstanceLock final : public IInstanceLock {
public:
    // `lockPath` empty: $XDG_RUNTIME_DIR/orvelle.lock, else orvelle-<uid>.lock in the
    // temporary folder.
    explicit FlockInstanceLock(std::string lockPath = {});

    [[nodiscard]] bool PreviousInstance() override;

    [[nodiscard]] const std::string& LockPath() const noexcept { return path_; }

    static std::string DefaultPath();

private:
    std::string path_;
    UniqueFd fd_;
};

}  // namespace orvelle::os::posix
