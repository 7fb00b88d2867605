#pragma once

#include "XcbHandles.h"
#include "popup/WindowList.h"

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace orvelle::popup::x11 {

// The desktop's top-level windows over a connection of our own to the X server: the window
// manager's client list (EWMH), or without one the root's children (descending to the window
// that carries WM_STATE). Hiding withdraws a window, showing maps it and waits until the
// window manager has done so. Without a display every list is empty and every command fails.
class X11WindowList final : public IWindowList {
public:
    // `displayName` empty: $DISPLAY. The connection is made on first use.
    explicit X11WindowList(std::string displayName = {},
                           std::chrono::milliseconds mapTimeout = std::chrono::seconds(2));

    [[nodiscard]] std::vector<desktop::WindowHandle> EnumWindows() override;
    [[nodiscard]] std::string GetWindowTextA(desktop::WindowHandle window,
                                             std::size_t maxLength) override;
    [[nodiscard]] bool IsWindowVisible(desktop::WindowHandle window) override;
    [[nodiscard]] bool IsDesktopWindow(desktop::WindowHandle window) override;
    bool ShowWindow(desktop::WindowHandle window, int command) override;
    // Geometry in root coordinates without the frame, the EWMH state and the desktop.
    [[nodiscard]] std::optional<WindowPlacement> GetWindowPlacement(
        desktop::WindowHandle window) override;
    // With a window manager, asks it (EWMH client messages) for the desktop, the place and
    // the state; without one, configures the window itself.
    bool SetWindowPlacement(desktop::WindowHandle window,
                            const WindowPlacement& placement) override;

private:
    struct Atoms {
        xcb_atom_t supportingWmCheck = XCB_ATOM_NONE;
        xcb_atom_t clientList = XCB_ATOM_NONE;
        xcb_atom_t clientListStacking = XCB_ATOM_NONE;
        xcb_atom_t wmName = XCB_ATOM_NONE;
        xcb_atom_t utf8String = XCB_ATOM_NONE;
        xcb_atom_t wmState = XCB_ATOM_NONE;
        xcb_atom_t windowType = XCB_ATOM_NONE;
        xcb_atom_t typeDesktop = XCB_ATOM_NONE;
        xcb_atom_t typeDock = XCB_ATOM_NONE;
        xcb_atom_t wmStateNet = XCB_ATOM_NONE;
        xcb_atom_t maximizedVert = XCB_ATOM_NONE;
        xcb_atom_t maximizedHorz = XCB_ATOM_NONE;
        xcb_atom_t fullscreen = XCB_ATOM_NONE;
        xcb_atom_t sticky = XCB_ATOM_NONE;
        xcb_atom_t wmDesktop = XCB_ATOM_NONE;
        xcb_atom_t moveResize = XCB_ATOM_NONE;
    };

    // The connection, made or remade when needed; nullptr without a display.
    xcb_connection_t* Connection();
    [[nodiscard]] std::optional<std::vector<xcb_window_t>> WindowProperty(xcb_window_t window,
                                                                          xcb_atom_t property);
    [[nodiscard]] bool HasProperty(xcb_window_t window, xcb_atom_t property);
    [[nodiscard]] bool WindowManagerRuns();
    [[nodiscard]] xcb_window_t ClientOf(xcb_window_t frame, int depth);
    bool Withdraw(xcb_window_t window);
    bool MapAndWait(xcb_window_t window);
    void SendToRoot(xcb_window_t window, xcb_atom_t type, const std::uint32_t (&data)[5]);

    std::string displayName_;
    std::chrono::milliseconds mapTimeout_;
    desktop::x11::XcbConnection connection_;
    xcb_window_t root_ = XCB_WINDOW_NONE;
    Atoms atoms_;
};

// A UTF-8 text cut to at most `maxLength` bytes without splitting a character.
std::string CutUtf8(std::string text, std::size_t maxLength);

// ISO 8859-1 text (an X STRING property) as UTF-8.
std::string Latin1ToUtf8(const std::string& text);

}  // namespace orvelle::popup::x11
