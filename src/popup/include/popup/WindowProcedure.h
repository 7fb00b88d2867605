#pragma once

#include "desktop/WindowHandle.h"

#include <cstdint>
#include <functional>

namespace orvelle::popup {

inline constexpr std::uint32_t WM_KEYDOWN = 256;
inline constexpr std::uint32_t WM_KEYUP = 257;

// A window's message procedure: sees every message of the window and returns its result.
using WindowProc = std::function<std::intptr_t(desktop::WindowHandle window, std::uint32_t message,
                                               std::uintptr_t wParam, std::intptr_t lParam)>;

// The message procedures of the program's own windows.
class IWindowProcedure {
public:
    virtual ~IWindowProcedure() = default;

    // Gives `window` the procedure `procedure` and returns the one it had (its own message
    // handling when never replaced); empty, and nothing changed, when the window is unknown.
    virtual WindowProc SetWindowLongA(desktop::WindowHandle window, WindowProc procedure) = 0;
};

// Passes a message on to `previous` and returns its result (0 when there is none).
inline std::intptr_t CallWindowProcA(const WindowProc& previous, desktop::WindowHandle window,
                                     std::uint32_t message, std::uintptr_t wParam,
                                     std::intptr_t lParam) {
    return previous ? previous(window, message, wParam, lParam) : 0;
}

}  // namespace orvelle::popup
