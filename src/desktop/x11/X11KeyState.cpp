#include "X11KeyState.h"

#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <span>

namespace orvelle::desktop::x11 {

void X11KeyState::DisplayCloser::operator()(_XDisplay* display) const {
    XCloseDisplay(display);
}

X11KeyState::X11KeyState() = default;
X11KeyState::~X11KeyState() = default;

_XDisplay* X11KeyState::Connection() {
    if (!triedToOpen_) {
        // Opened once, on first use: a desktop without X11 is not asked again.
        triedToOpen_ = true;
        display_.reset(XOpenDisplay(nullptr));
    }
    return display_.get();
}

bool X11KeyState::HasDisplay() {
    return Connection() != nullptr;
}

std::uint16_t X11KeyState::GetAsyncKeyState(int virtualKey) {
    Display* display = Connection();
    if (display == nullptr) {
        return 0;
    }
    if (virtualKey == VK_LBUTTON) {
        Window root = 0;
        Window child = 0;
        int rootX = 0;
        int rootY = 0;
        int x = 0;
        int y = 0;
        unsigned int mask = 0;
        if (XQueryPointer(display, XDefaultRootWindow(display), &root, &child, &rootX, &rootY, &x,
                          &y, &mask) == 0) {
            return 0;  // the pointer is on another screen
        }
        return (mask & Button1Mask) != 0 ? kKeyDownNow : std::uint16_t{0};
    }
    static constexpr KeySym kShift[] = {XK_Shift_L, XK_Shift_R};
    static constexpr KeySym kControl[] = {XK_Control_L, XK_Control_R};
    static constexpr KeySym kAlt[] = {XK_Alt_L, XK_Alt_R, XK_Meta_L, XK_Meta_R};
    std::span<const KeySym> keys;
    switch (virtualKey) {
    case VK_SHIFT:
        keys = kShift;
        break;
    case VK_CONTROL:
        keys = kControl;
        break;
    case VK_MENU:
        keys = kAlt;
        break;
    default:
        return 0;
    }
    char keymap[32] = {};
    XQueryKeymap(display, keymap);
    for (const KeySym key : keys) {
        const KeyCode code = XKeysymToKeycode(display, key);
        if (code != 0 && (static_cast<unsigned char>(keymap[code / 8]) & (1U << (code % 8))) != 0) {
            return kKeyDownNow;
        }
    }
    return 0;
}

ScreenPoint X11KeyState::GetCursorPos() {
    Display* display = Connection();
    if (display == nullptr) {
        return {};
    }
    Window root = 0;
    Window child = 0;
    int rootX = 0;
    int rootY = 0;
    int x = 0;
    int y = 0;
    unsigned int mask = 0;
    XQueryPointer(display, XDefaultRootWindow(display), &root, &child, &rootX, &rootY, &x, &y,
                  &mask);
    return {rootX, rootY};
}

}  // namespace orvelle::desktop::x11
