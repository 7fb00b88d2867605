#pragma once

#include "desktop/Clipboard.h"
#include "os/RuntimeError.h"

namespace orvelle::desktop::fake {

// Counts the clearings; `held` plays another program holding the clipboard open.
class FakeClipboard final : public IClipboard {
public:
    void Clear() override {
        ++clears;
        if (held) {
            throw os::RuntimeError(521, "Can't open Clipboard");
        }
        hasContent = false;
    }

    int clears = 0;
    bool held = false;
    bool hasContent = true;
};

}  // namespace orvelle::desktop::fake
