#pragma once

#include "UniqueFd.h"
#include "os/CleaningLock.h"

#include <string>

namespace orvelle::os::posix {

// The cleaning lock as a file held with flock(2): the kernel drops it when the
// holder ends, so a killed clean never blocks the next one. The holder writes its
// process id and program name into the file, for the message of the one refused.
class FlockCleaningLock final : public ICleaningLock {
public:
    // `lockPath` empty: DefaultPath().
    explicit FlockCleaningLock(std::string lockPath = {});

    // Where a test harness or a container puts every lock of one run instead.
    static constexpr const char* kFolderVariable = "ORVELLE_CLEAN_LOCK_DIR";

    [[nodiscard]] std::string TryLock() override;
    void Lock() override;
    void Unlock() override;

    [[nodiscard]] const std::string& LockPath() const noexcept { return path_; }
    // One path per user wherever the clean starts: /run/user/<uid>/orvelle-clean.lock,
    // else <account home>/.local/state/orvelle/clean.lock (a folder of 0700). Neither
    // $XDG_RUNTIME_DIR nor $HOME counts: cron and su start with other values.
    static std::string DefaultPath();

private:
    // Opens the lock file and takes the lock (blocking or not); "" when taken.
    std::string Take(bool wait);

    std::string path_;
    UniqueFd fd_;
    int count_ = 0;
};

}  // namespace orvelle::os::posix
