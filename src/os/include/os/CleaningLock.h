#pragma once

#include <string>

namespace orvelle::os {

// One clean at a time for this user, whichever program starts it: the main window
// and orvelle-clean share this lock. The holder may take it again (a count); it is
// free once every take has been given back, or when its process ends.
class ICleaningLock {
public:
    virtual ~ICleaningLock() = default;

    // Takes the lock when no other process holds it and returns ""; otherwise
    // returns who holds it ("process 1234 (orvelle-clean)") and takes nothing.
    [[nodiscard]] virtual std::string TryLock() = 0;
    // Waits until no other process holds the lock, then takes it.
    virtual void Lock() = 0;
    // Gives back one take.
    virtual void Unlock() = 0;
};

}  // namespace orvelle::os
