#pragma once

#include "desktop/Clipboard.h"

namespace orvelle::desktop::qt {

// The system clipboard through Qt: the clipboard and, where the desktop has one
// (X11), the primary selection; and where KDE's Klipper runs on the session bus,
// its clipboard history (throws RuntimeError when Klipper refuses).
class QtClipboard final : public IClipboard {
public:
    void Clear() override;
};

}  // namespace orvelle::desktop::qt
