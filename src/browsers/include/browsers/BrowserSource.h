#pragma once

#include "desktop/KeyState.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orvelle::browsers {

class IBrowserWindow;

// Where a navigation or document notification comes from: the window's own
// top-level document (`window` is the window itself) or one of its frames
// (`window` is null and `frameId` names the frame).
struct BrowserDispatch {
    IBrowserWindow* window = nullptr;
    std::string frameId;
};

// What a window can tell about its session history without navigating.
struct NavigationHistory {
    bool canGoBack = false;
    bool canGoForward = false;
};

// Command numbers of CommandStateChange.
inline constexpr std::int32_t CSC_UPDATECOMMANDS = -1;
inline constexpr std::int32_t CSC_NAVIGATEFORWARD = 1;
inline constexpr std::int32_t CSC_NAVIGATEBACK = 2;

// The receiver of one window's notifications; all arrive on the user-interface thread.
class IBrowserEvents {
public:
    virtual ~IBrowserEvents() = default;

    // A navigation is about to start in the window or one of its frames; setting
    // `cancel` keeps it from starting.
    virtual void BeforeNavigate2(const BrowserDispatch& pDisp, const std::string& url,
                                 std::int32_t flags, const std::string& targetFrameName,
                                 const std::string& postData, const std::string& headers,
                                 bool& cancel) = 0;
    // A navigation of the window or a frame has been committed.
    virtual void NavigateComplete2(const BrowserDispatch& pDisp, const std::string& url) = 0;
    // A document (the window's or a frame's) has finished loading.
    virtual void DocumentComplete(const BrowserDispatch& pDisp, const std::string& url) = 0;
    // The window started loading.
    virtual void DownloadBegin() = 0;
    // The window finished or stopped loading.
    virtual void DownloadComplete() = 0;
    // A command of the window became available or unavailable (CSC_*).
    virtual void CommandStateChange(std::int32_t command, bool enable) = 0;
    // The page asks for a new window; setting `cancel` keeps it from opening.
    virtual void NewWindow2(bool& cancel) = 0;
    // The user asked for the document's context menu; false asks to suppress it
    // (a browser that cannot suppress it after the fact shows it anyway).
    virtual bool DocumentContextMenu() = 0;
    // A mouse button went down or up over the document.
    virtual void DocumentMouseDown() = 0;
    virtual void DocumentMouseUp() = 0;
};

// One open browser window (the platform's browser object). Reads may throw
// RuntimeError when the browser cannot answer.
class IBrowserWindow {
public:
    virtual ~IBrowserWindow() = default;

    // A positive handle that stays the same for this window while the program runs.
    [[nodiscard]] virtual std::int32_t Hwnd() = 0;
    // The title of the page shown.
    [[nodiscard]] virtual std::string LocationName() = 0;
    // The address of the page shown.
    [[nodiscard]] virtual std::string LocationURL() = 0;
    // Whether the window holds an HTML document whose events can be connected.
    [[nodiscard]] virtual bool HasDocument() = 0;
    // The back/forward availability when the browser can tell it without
    // navigating; nullopt when only trying to go forward can find it out.
    [[nodiscard]] virtual std::optional<NavigationHistory> History() = 0;
    // Starts a forward navigation; throws RuntimeError when there is no forward history.
    virtual void GoForward() = 0;
    // Stops whatever the window is loading.
    virtual void StopDownload() = 0;
    // Converts a screen position into the coordinates of the window's document area.
    [[nodiscard]] virtual desktop::ScreenPoint ScreenToClient(desktop::ScreenPoint point) = 0;
    // Adds a receiver of this window's notifications (a receiver added twice is called once).
    virtual void Advise(IBrowserEvents* events) = 0;
    // Removes a receiver; one that was not added is no error.
    virtual void Unadvise(IBrowserEvents* events) = 0;
};

// The receiver of the window list's notifications (the cookie tells nothing useful).
class IWindowListEvents {
public:
    virtual ~IWindowListEvents() = default;

    // A window joined the list.
    virtual void WindowRegistered(std::int32_t lCookie) = 0;
    // A window left the list.
    virtual void WindowRevoked(std::int32_t lCookie) = 0;
};

// The list of open browser windows with notifications when it changes.
class IBrowserWindowSource {
public:
    virtual ~IBrowserWindowSource() = default;

    // The open windows in the source's order (the order they were first seen).
    [[nodiscard]] virtual std::vector<std::shared_ptr<IBrowserWindow>> Windows() = 0;
    // Adds a receiver of the list's notifications; they come after the list changed,
    // never from inside a window's own notification.
    virtual void Connect(IWindowListEvents* events) = 0;
    // Removes a receiver; one that was not added is no error.
    virtual void Disconnect(IWindowListEvents* events) = 0;
    // The popup killer's switch, for browsers that decide in the page themselves;
    // a source whose windows ask NewWindow2 each time has no use for it.
    virtual void SetPopupBlocking(bool /*on*/) {}
    // The browsers connected now, by name ("Firefox 153.8.0esr"); empty when none is.
    [[nodiscard]] virtual std::vector<std::string> ConnectedBrowsers() { return {}; }
    // One line on how to connect a browser, for when none is; "" when there is nothing to do.
    [[nodiscard]] virtual std::string ConnectionHint() { return {}; }
};

}  // namespace orvelle::browsers
