#pragma once

#include "platform/WindowHandle.h"

#include <string>
#include <vector>

namespace orvelle::platform {

inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOW = 5;

// The desktop's top-level windows: the ones a user sees as application windows.
class IWindowList {
public:
    virtual ~IWindowList() = default;

    // Every top-level window, bottom of the stacking order first; empty without a desktop.
    [[nodiscard]] virtual std::vector<WindowHandle> EnumWindows() = 0;
    // The window's title as UTF-8, at most `maxLength` bytes (empty when it has none).
    [[nodiscard]] virtual std::string GetWindowTextA(WindowHandle window,
                                                     std::size_t maxLength) = 0;
    // Whether the window is shown on the screen.
    [[nodiscard]] virtual bool IsWindowVisible(WindowHandle window) = 0;
    // Whether the desktop treats the window as part of itself (desktop, dock, panel).
    [[nodiscard]] virtual bool IsDesktopWindow(WindowHandle window) = 0;
    // Hides (SW_HIDE) or shows (SW_SHOW) the window; returns once the desktop has done it,
    // false when the window is gone or the command failed.
    virtual bool ShowWindow(WindowHandle window, int command) = 0;
};

}  // namespace orvelle::platform
