#include "FakeBrowser.h"

#include "platform/RuntimeError.h"

#include <algorithm>

namespace orvelle::platform::fake {

namespace {

RuntimeError BrowserGone() {
    return RuntimeError(-2147467259, "Automation error: the browser does not answer");
}

}  // namespace

std::int32_t FakeBrowserWindow::Hwnd() {
    if (failHwnd) {
        throw BrowserGone();
    }
    return hwnd;
}

std::string FakeBrowserWindow::LocationName() {
    if (failLocationName) {
        throw BrowserGone();
    }
    return locationName;
}

std::string FakeBrowserWindow::LocationURL() {
    if (failLocationURL) {
        throw BrowserGone();
    }
    return locationURL;
}

void FakeBrowserWindow::GoForward() {
    ++goForwardCalls;
    if (!forwardHistory) {
        throw RuntimeError(-2147467259, "Unspecified error");
    }
    if (onGoForward) {
        onGoForward();
    }
}

bool FakeBrowserWindow::FireBeforeNavigate2(const std::string& url, bool topLevel) {
    const BrowserDispatch dispatch{topLevel ? this : nullptr, topLevel ? "" : "frame-1"};
    bool cancel = false;
    receivers.ForEach([&](IBrowserEvents& events) {
        events.BeforeNavigate2(dispatch, url, 0, "", "", "", cancel);
    });
    return cancel;
}

void FakeBrowserWindow::FireNavigateComplete2(const std::string& url, bool topLevel) {
    const BrowserDispatch dispatch{topLevel ? this : nullptr, topLevel ? "" : "frame-1"};
    receivers.ForEach([&](IBrowserEvents& events) { events.NavigateComplete2(dispatch, url); });
}

void FakeBrowserWindow::FireDocumentComplete(const std::string& url, bool topLevel) {
    const BrowserDispatch dispatch{topLevel ? this : nullptr, topLevel ? "" : "frame-1"};
    receivers.ForEach([&](IBrowserEvents& events) { events.DocumentComplete(dispatch, url); });
}

void FakeBrowserWindow::FireDownloadBegin() {
    receivers.ForEach([](IBrowserEvents& events) { events.DownloadBegin(); });
}

void FakeBrowserWindow::FireDownloadComplete() {
    receivers.ForEach([](IBrowserEvents& events) { events.DownloadComplete(); });
}

void FakeBrowserWindow::FireCommandStateChange(std::int32_t command, bool enable) {
    receivers.ForEach([&](IBrowserEvents& events) { events.CommandStateChange(command, enable); });
}

bool FakeBrowserWindow::FireNewWindow2() {
    bool cancel = false;
    receivers.ForEach([&](IBrowserEvents& events) { events.NewWindow2(cancel); });
    return cancel;
}

bool FakeBrowserWindow::FireContextMenu() {
    bool show = true;
    receivers.ForEach([&](IBrowserEvents& events) { show = events.DocumentContextMenu() && show; });
    return show;
}

void FakeBrowserWindow::FireMouseDown() {
    receivers.ForEach([](IBrowserEvents& events) { events.DocumentMouseDown(); });
}

void FakeBrowserWindow::FireMouseUp() {
    receivers.ForEach([](IBrowserEvents& events) { events.DocumentMouseUp(); });
}

std::vector<std::shared_ptr<IBrowserWindow>> FakeBrowserSource::Windows() {
    ++listCalls;
    if (onList) {
        onList();
    }
    return {windows.begin(), windows.end()};
}

std::shared_ptr<FakeBrowserWindow> FakeBrowserSource::Register(std::int32_t hwnd,
                                                               const std::string& title,
                                                               const std::string& url) {
    auto window = std::make_shared<FakeBrowserWindow>(hwnd, title, url);
    windows.push_back(window);
    if (auto notify = onRegistered) {
        notify();
    }
    return window;
}

void FakeBrowserSource::Revoke(std::int32_t hwnd) {
    windows.erase(std::remove_if(windows.begin(), windows.end(),
                                 [&](const auto& window) { return window->hwnd == hwnd; }),
                  windows.end());
    if (auto notify = onRevoked) {
        notify();
    }
}

}  // namespace orvelle::platform::fake
