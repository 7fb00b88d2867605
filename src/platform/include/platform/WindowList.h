#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orvelle::platform {

using WindowHandle = std::uint64_t;

// The desktop's top-level windows.
class IWindowList {
public:
    virtual ~IWindowList() = default;

    // Every top-level window in the desktop's order.
    [[nodiscard]] virtual std::vector<WindowHandle> EnumWindows() = 0;
    // The window's title (empty when it has none).
    [[nodiscard]] virtual std::string GetWindowTextA(WindowHandle window) = 0;
    // Whether the window is visible.
    [[nodiscard]] virtual bool IsWindowVisible(WindowHandle window) = 0;
    // Whether the desktop treats the window as part of itself (desktop, dock, panel).
    [[nodiscard]] virtual bool IsDesktopWindow(WindowHandle window) = 0;
    // Hides (SW_HIDE = 0) or shows (SW_SHOW = 5) the window; false when it failed.
    virtual bool ShowWindow(WindowHandle window, int command) = 0;
};

}  // namespace orvelle::platform
