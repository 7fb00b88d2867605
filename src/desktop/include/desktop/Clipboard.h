#pragma once

namespace orvelle::desktop {

// The system clipboard.
class IClipboard {
public:
    virtual ~IClipboard() = default;

    // Empties the clipboard of every format (and the X11 selection); throws
    // RuntimeError when another program holds it.
    virtual void Clear() = 0;
};

}  // namespace orvelle::desktop
