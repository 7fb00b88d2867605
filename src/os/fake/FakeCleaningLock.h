#pragma once

#include "os/CleaningLock.h"

#include <string>

namespace orvelle::os::fake {

// A cleaning lock that another process holds while `holder` is not empty; counts
// what this process took and gave back.
class FakeCleaningLock final : public ICleaningLock {
public:
    [[nodiscard]] std::string TryLock() override {
        if (!holder.empty()) {
            return holder;
        }
        ++taken;
        return {};
    }
    void Lock() override { ++taken; }
    void Unlock() override { ++released; }

    std::string holder;
    int taken = 0;
    int released = 0;
};

}  // namespace orvelle::os::fake
