#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace orvelle::platform {

// The notifications a browser window gives about itself.
class IBrowserEvents {
public:
    virtual ~IBrowserEvents() = default;

    virtual void BeforeNavigate2(const std::string& url, bool& cancel) = 0;
    virtual void NavigateComplete2(bool topLevel, const std::string& url) = 0;
    virtual void DocumentComplete(bool topLevel, const std::string& url) = 0;
    virtual void DownloadBegin() = 0;
    virtual void DownloadComplete() = 0;
    virtual void CommandStateChange(std::int32_t command, bool enable) = 0;
    // The page asks for a new window; setting `cancel` keeps it from opening.
    virtual void NewWindow2(bool& cancel) = 0;
    virtual bool DocumentContextMenu() = 0;
    virtual void DocumentMouseDown() = 0;
    virtual void DocumentMouseUp() = 0;
};

// One open browser window (the platform's browser object).
class IBrowserWindow {
public:
    virtual ~IBrowserWindow() = default;

    // A stable positive handle for this window.
    [[nodiscard]] virtual std::int32_t Hwnd() = 0;
    [[nodiscard]] virtual std::string LocationName() = 0;
    [[nodiscard]] virtual std::string LocationURL() = 0;
    // Whether the window holds an HTML document whose events can be connected.
    [[nodiscard]] virtual bool HasDocument() = 0;
    // Starts a forward navigation; false when there is no forward history.
    virtual bool GoForward() = 0;
    // Stops whatever the window is loading.
    virtual void StopDownload() = 0;
    // Connects (or, with null, disconnects) the receiver of this window's events.
    virtual void Connect(IBrowserEvents* events) = 0;
};

// The list of open browser windows with notifications when it changes.
class IBrowserWindowSource {
public:
    using Notification = std::function<void()>;

    virtual ~IBrowserWindowSource() = default;

    // The open windows in the source's order.
    [[nodiscard]] virtual std::vector<std::shared_ptr<IBrowserWindow>> Windows() = 0;
    // Called when a window is registered or revoked.
    virtual void SetListeners(Notification registered, Notification revoked) = 0;
};

}  // namespace orvelle::platform
