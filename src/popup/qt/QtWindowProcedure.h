#pragma once

#include "popup/WindowProcedure.h"

namespace orvelle::popup::qt {

// Message procedures of the program's Qt widgets, as an event filter on the widget: its key
// presses and releases (WM_KEYDOWN, WM_KEYUP) and the messages posted to it pass through the
// procedure, and reach the widget only when the procedure passes them on to the widget's own
// handling (the procedure that SetWindowLongA returns first).
class QtWindowProcedure final : public IWindowProcedure {
public:
    WindowProc SetWindowLongA(desktop::WindowHandle window, WindowProc procedure) override;

    // Posts a message to the widget of `window`, to be handled after the current event;
    // false when no widget of the program has that window.
    static bool PostMessageA(desktop::WindowHandle window, std::uint32_t message,
                             std::uintptr_t wParam, std::intptr_t lParam);
};

}  // namespace orvelle::popup::qt
