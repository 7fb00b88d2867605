#pragma once

#include "desktop/WindowHandle.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orvelle::popup {

inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOW = 5;

// Where a window is and how the desktop shows it: what hiding it takes away.
struct WindowPlacement {
    int x = 0;  // the window's own top-left corner on the screen, frame not counted
    int y = 0;
    int width = 0;
    int height = 0;
    bool maximizedHorizontally = false;
    bool maximizedVertically = false;
    bool fullscreen = false;
    bool sticky = false;                   // on every desktop
    std::optional<std::uint32_t> desktop;  // the virtual desktop it is on, when it has one

    friend bool operator==(const WindowPlacement&, const WindowPlacement&) = default;
};

// The desktop's top-level windows: the ones a user sees as application windows.
class IWindowList {
public:
    virtual ~IWindowList() = default;

    // Every top-level window, bottom of the stacking order first; empty without a desktop.
    [[nodiscard]] virtual std::vector<desktop::WindowHandle> EnumWindows() = 0;
    // The window's title as UTF-8, at most `maxLength` bytes (empty when it has none).
    [[nodiscard]] virtual std::string GetWindowTextA(desktop::WindowHandle window,
                                                     std::size_t maxLength) = 0;
    // Whether the window is shown on the screen.
    [[nodiscard]] virtual bool IsWindowVisible(desktop::WindowHandle window) = 0;
    // Whether the desktop treats the window as part of itself (desktop, dock, panel).
    [[nodiscard]] virtual bool IsDesktopWindow(desktop::WindowHandle window) = 0;
    // Hides (SW_HIDE) or shows (SW_SHOW) the window; returns once the desktop has done it,
    // false when the window is gone or the command failed.
    virtual bool ShowWindow(desktop::WindowHandle window, int command) = 0;
    // The window's place and state; nullopt when it is gone.
    [[nodiscard]] virtual std::optional<WindowPlacement> GetWindowPlacement(
        desktop::WindowHandle window) = 0;
    // Gives a shown window back its place and state; false when it is gone.
    virtual bool SetWindowPlacement(desktop::WindowHandle window,
                                    const WindowPlacement& placement) = 0;
};

}  // namespace orvelle::popup
