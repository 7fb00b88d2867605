#pragma once

#include "UniqueFd.h"
#include "platform/CleaningLock.h"

#include <string>

namespace orvelle::platform::posix {

// The cleaning lock as a file held with flock(2): the kernel drops it when the
// holder ends, so a killed clean never blocks the next one. The holder writes its
// process id and program name into the file, for the message of the one refused.
class FlockCleaningLock final : public ICleaningLock {
public:
    // `lockPath` empty: $XDG_RUNTIME_DIR/orvelle-clean.lock, else
    // orvelle-clean-<uid>.lock in the temporary folder.
    explicit FlockCleaningLock(std::string lockPath = {});

    [[nodiscard]] std::string TryLock() override;
    void Lock() override;
    void Unlock() override;

    [[nodiscard]] const std::string& LockPath() const noexcept { return path_; }
    static std::string DefaultPath();

private:
    // Opens the lock file and takes the lock (blocking or not); "" when taken.
    std::string Take(bool wait);

    std::string path_;
    UniqueFd fd_;
    int count_ = 0;
};

}  // namespace orvelle::platform::posix
