#pragma once

#include "desktop/Clipboard.h"

namespace orvelle::desktop::x11 {

// The X11 clipboard without a toolkit: the CLIPBOARD and PRIMARY selections lose
// their owner, so what was copied can no longer be pasted. Without an X display
// ($DISPLAY unset: a timer, a console) no selection is held and nothing is done.
class XcbClipboard final : public IClipboard {
public:
    void Clear() override;
};

}  // namespace orvelle::desktop::x11
