#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

struct _XDisplay;

namespace orvelle::test {

// A second X client for end-to-end tests: makes real top-level windows, looks at their map
// state, types through the XTEST extension and holds key grabs, on its own connection to
// $DISPLAY.
class X11TestClient {
public:
    // Xlib's own types, without its macros (None, Bool, Status …) in every test.
    using Window = unsigned long;
    using KeySym = unsigned long;
    enum MapState { kUnmapped = 0, kUnviewable = 1, kViewable = 2 };

    X11TestClient();
    ~X11TestClient();
    X11TestClient(const X11TestClient&) = delete;
    X11TestClient& operator=(const X11TestClient&) = delete;

    [[nodiscard]] bool Connected() const noexcept { return display_ != nullptr; }
    // The key code that types `key`.
    [[nodiscard]] unsigned char KeyCode(KeySym key) const;
    [[nodiscard]] Window Root() const;

    // A top-level window; no title at all when `title` is empty-optional. `utf8Only` sets
    // the title only as _NET_WM_NAME; `type` names an EWMH window type ("DOCK", "DESKTOP").
    Window CreateWindow(const std::optional<std::string>& title, bool map,
                        const std::string& type = {}, bool utf8Only = false);
    // A menu-like window that bypasses the window manager, mapped.
    Window CreateOverrideRedirect();
    void Map(Window window);
    void Destroy(Window window);
    // Raises the window and gives it the keyboard focus, as a user's click does; with
    // `revertToNone` nothing has the focus once the window is gone.
    void Focus(Window window, bool revertToNone = false);
    // The window with the keyboard focus: 0 for none, 1 for whichever is under the pointer.
    [[nodiscard]] Window FocusedWindow();
    // Withdraws the window, as an application hiding it does.
    void Withdraw(Window window);
    // A MapState; -1 when the window is gone.
    [[nodiscard]] int MapState(Window window);
    bool WaitForMapState(Window window, int state,
                         std::chrono::milliseconds timeout = std::chrono::seconds(5));

    // Types the hot key Ctrl+Alt+H through XTEST, as a user does: once some window has the
    // focus (the server drops keys typed while none has it, as after a window manager has
    // closed the focused window's frame and before it has focused another one).
    void PressHotKey();
    // Types one key through XTEST, with `modifiers` (keysyms) held around it.
    void Tap(KeySym key, const std::vector<KeySym>& modifiers = {});
    // Whether a keyboard lock (NumLock, CapsLock) is on.
    [[nodiscard]] bool LockOn(const char* indicatorName);
    // Sets a lock by tapping its key when it is not in the wanted state.
    void SetLock(KeySym lockKey, const char* indicatorName, bool on);

    // Grabs Ctrl+Alt+H on the root window with no lock modifiers; false when refused.
    bool GrabHotKey();
    void UngrabHotKey();
    // Waits for a key press delivered to this client (through its grab).
    bool WaitForKeyPress(std::chrono::milliseconds timeout = std::chrono::seconds(5));

    // Where a window is on the screen (its own corner, frame not counted) and its size.
    struct Geometry {
        int x = 0, y = 0, width = 0, height = 0;
        bool operator==(const Geometry&) const = default;
    };
    [[nodiscard]] std::optional<Geometry> GeometryOf(Window window);
    void MoveResize(Window window, const Geometry& geometry);
    // The atoms of its _NET_WM_STATE, by name.
    [[nodiscard]] std::vector<std::string> StateOf(Window window);
    // Asks the window manager to add one or two states ("_NET_WM_STATE_MAXIMIZED_VERT" …).
    void AddState(Window window, const char* first, const char* second = nullptr);

    // Whether an EWMH window manager runs on the display.
    [[nodiscard]] bool WindowManagerRuns();

private:
    _XDisplay* display_ = nullptr;
    std::vector<Window> windows_;
};

}  // namespace orvelle::test
