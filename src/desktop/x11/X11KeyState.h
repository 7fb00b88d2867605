#pragma once

#include "desktop/KeyState.h"

#include <memory>

struct _XDisplay;  // NOLINT(bugprone-reserved-identifier): Xlib's own name for Display

namespace orvelle::desktop::x11 {

// Ctrl, Shift, Alt and the left mouse button, and the cursor position, as the X
// server reports them (XQueryKeymap, XQueryPointer). Without an X server every key
// reads as up and the cursor as {0, 0}. X11 cannot tell a press that has already
// ended, so the "pressed since the last query" bit is never set.
class X11KeyState final : public IKeyState {
public:
    X11KeyState();
    ~X11KeyState() override;
    X11KeyState(const X11KeyState&) = delete;
    X11KeyState& operator=(const X11KeyState&) = delete;

    [[nodiscard]] std::uint16_t GetAsyncKeyState(int virtualKey) override;
    [[nodiscard]] ScreenPoint GetCursorPos() override;

    // Whether an X server could be reached.
    [[nodiscard]] bool HasDisplay();

private:
    struct DisplayCloser {
        void operator()(_XDisplay* display) const;
    };

    _XDisplay* Connection();

    std::unique_ptr<_XDisplay, DisplayCloser> display_;
    bool triedToOpen_ = false;
};

}  // namespace orvelle::desktop::x11
