#include "FakeBrowser.h"

#include "os/RuntimeError.h"

#include <algorithm>

namespace orvelle::browsers::fake {

namespace {

os::RuntimeError BrowserGone() {
    return os::RuntimeError(-2147467259, "Automation error: the browser does not answer");
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
        throw os::RuntimeError(-2147467259, "Unspecified error");
    }
    if (const auto hook = onGoForward) {
        hook();
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
    // A copy: the hook may replace itself.
    if (const auto hook = onList) {
        hook();
    }
    return {windows.begin(), windows.end()};
}

void FakeBrowserSource::Connect(IWindowListEvents* events) {
    if (events != nullptr &&
        std::find(receivers.begin(), receivers.end(), events) == receivers.end()) {
        receivers.push_back(events);
    }
}

void FakeBrowserSource::Disconnect(IWindowListEvents* events) {
    receivers.erase(std::remove(receivers.begin(), receivers.end(), events), receivers.end());
}

template <typename Call>
void FakeBrowserSource::Notify(Call&& call) {
    const auto snapshot = receivers;
    for (IWindowListEvents* events : snapshot) {
        if (std::find(receivers.begin(), receivers.end(), events) != receivers.end()) {
            call(*events);
        }
    }
}

std::shared_ptr<FakeBrowserWindow> FakeBrowserSource::Register(std::int32_t hwnd,
                                                               const std::string& title,
                                                               const std::string& url) {
    auto window = std::make_shared<FakeBrowserWindow>(hwnd, title, url);
    windows.push_back(window);
    Notify([](IWindowListEvents& events) { events.WindowRegistered(0); });
    return window;
}

void FakeBrowserSource::Revoke(std::int32_t hwnd) {
    windows.erase(std::remove_if(windows.begin(), windows.end(),
                                 [&](const auto& window) { return window->hwnd == hwnd; }),
                  windows.end());
    Notify([](IWindowListEvents& events) { events.WindowRevoked(0); });
}

}  // namespace orvelle::browsers::fake
