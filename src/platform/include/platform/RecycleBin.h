#pragma once

namespace orvelle::platform {

// The recycle bins (on Linux: the freedesktop trash folders) of every drive.
class IRecycleBin {
public:
    virtual ~IRecycleBin() = default;

    // Empties every bin without asking; true when nothing failed.
    virtual bool EmptyAll() = 0;
};

}  // namespace orvelle::platform
