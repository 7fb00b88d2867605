#pragma once

namespace orvelle::os {

// The previous-instance test: one running copy per user.
class IInstanceLock {
public:
    virtual ~IInstanceLock() = default;

    // True when another copy already holds the lock; otherwise takes it for the life
    // of this object. A copy that was killed no longer holds it.
    [[nodiscard]] virtual bool PreviousInstance() = 0;
};

}  // namespace orvelle::os
