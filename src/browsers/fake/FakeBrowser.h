#pragma once

// Recording fakes of the browser-window source, key state, sound and file dialog.

#include "browsers/BrowserEventReceivers.h"
#include "browsers/BrowserSource.h"
#include "desktop/KeyState.h"
#include "desktop/Sound.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orvelle::browsers::fake {

// A browser window whose answers the test sets and whose notifications the test fires.
class FakeBrowserWindow final : public IBrowserWindow {
public:
    FakeBrowserWindow(std::int32_t handle, std::string title, std::string url)
        : hwnd(handle), locationName(std::move(title)), locationURL(std::move(url)) {}

    [[nodiscard]] std::int32_t Hwnd() override;
    [[nodiscard]] std::string LocationName() override;
    [[nodiscard]] std::string LocationURL() override;
    [[nodiscard]] bool HasDocument() override { return hasDocument; }
    [[nodiscard]] std::optional<NavigationHistory> History() override { return history; }
    void GoForward() override;
    void StopDownload() override { ++stopDownloadCalls; }
    [[nodiscard]] desktop::ScreenPoint ScreenToClient(desktop::ScreenPoint point) override {
        return {point.x - clientOrigin.x, point.y - clientOrigin.y};
    }
    void Advise(IBrowserEvents* events) override { receivers.Add(events); }
    void Unadvise(IBrowserEvents* events) override { receivers.Remove(events); }

    // Notifications as the browser would send them; each returns what the receivers decided.
    bool FireBeforeNavigate2(const std::string& url, bool topLevel = true);
    void FireNavigateComplete2(const std::string& url, bool topLevel = true);
    void FireDocumentComplete(const std::string& url, bool topLevel = true);
    void FireDownloadBegin();
    void FireDownloadComplete();
    void FireCommandStateChange(std::int32_t command, bool enable);
    bool FireNewWindow2();   // true when a receiver cancelled the new window
    bool FireContextMenu();  // false when a receiver asked to suppress the menu
    void FireMouseDown();
    void FireMouseUp();

    std::int32_t hwnd;
    std::string locationName;
    std::string locationURL;
    bool hasDocument = true;
    // Answered by History(); nullopt makes monitors probe with GoForward.
    std::optional<NavigationHistory> history = NavigationHistory{};
    // Whether GoForward finds forward history (else it throws).
    bool forwardHistory = false;
    bool failHwnd = false;
    bool failLocationName = false;
    bool failLocationURL = false;
    desktop::ScreenPoint clientOrigin;
    int goForwardCalls = 0;
    int stopDownloadCalls = 0;
    // Runs inside GoForward, as a browser that notifies at once would.
    std::function<void()> onGoForward;
    BrowserEventReceivers receivers;
};

// A window list the test edits; Register and Revoke notify as the desktop would.
class FakeBrowserSource final : public IBrowserWindowSource {
public:
    [[nodiscard]] std::vector<std::shared_ptr<IBrowserWindow>> Windows() override;
    void Connect(IWindowListEvents* events) override;
    void Disconnect(IWindowListEvents* events) override;

    // Adds a window at the end of the list and notifies.
    std::shared_ptr<FakeBrowserWindow> Register(std::int32_t hwnd, const std::string& title,
                                                const std::string& url);
    // Removes the window with that handle and notifies.
    void Revoke(std::int32_t hwnd);

    void SetPopupBlocking(bool on) override { blockingPushed.push_back(on); }
    [[nodiscard]] std::vector<std::string> ConnectedBrowsers() override { return connected; }
    [[nodiscard]] std::string ConnectionHint() override { return hint; }

    // Every switch pushed, in order.
    std::vector<bool> blockingPushed;
    std::vector<std::string> connected;
    std::string hint;

    std::vector<std::shared_ptr<FakeBrowserWindow>> windows;
    std::vector<IWindowListEvents*> receivers;
    int listCalls = 0;
    // Runs inside Windows(), before it answers.
    std::function<void()> onList;

private:
    template <typename Call>
    void Notify(Call&& call);
};

}  // namespace orvelle::browsers::fake
