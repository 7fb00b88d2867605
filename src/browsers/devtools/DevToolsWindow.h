#pragma once

#include "DevToolsConnection.h"
#include "browsers/BrowserEventReceivers.h"
#include "browsers/BrowserSource.h"

#include <QPointer>
#include <QString>

#include <optional>
#include <string>

namespace orvelle::browsers::devtools {

// One page target of a browser seen through DevTools: its handle, what the browser
// last told about it, and the receivers of its notifications. The browser object
// that owns the connection updates it and fires its notifications.
class DevToolsWindow final : public IBrowserWindow {
public:
    DevToolsWindow(std::int32_t handle, QString targetId, QString sessionId,
                   DevToolsConnection* connection);

    [[nodiscard]] std::int32_t Hwnd() override { return handle_; }
    [[nodiscard]] std::string LocationName() override { return title_; }
    [[nodiscard]] std::string LocationURL() override { return url_; }
    [[nodiscard]] bool HasDocument() override { return true; }
    [[nodiscard]] std::optional<NavigationHistory> History() override { return history_; }
    void GoForward() override;
    void StopDownload() override;
    [[nodiscard]] desktop::ScreenPoint ScreenToClient(desktop::ScreenPoint point) override;
    void Advise(IBrowserEvents* events) override { receivers_.Add(events); }
    void Unadvise(IBrowserEvents* events) override { receivers_.Remove(events); }

    [[nodiscard]] const QString& TargetId() const noexcept { return targetId_; }
    [[nodiscard]] const QString& SessionId() const noexcept { return sessionId_; }
    [[nodiscard]] const BrowserEventReceivers& Receivers() const noexcept { return receivers_; }

    void SetTitle(std::string title) { title_ = std::move(title); }
    void SetUrl(std::string url) { url_ = std::move(url); }
    // The history as the browser reported it, with the entry a forward step goes to
    // (-1 when there is none). Fires CommandStateChange for what changed.
    void SetHistory(NavigationHistory history, int forwardEntryId);
    // The document area's screen origin, as the last document mouse event showed it.
    void SetClientOrigin(desktop::ScreenPoint origin) { clientOrigin_ = origin; }
    // The connection went away: commands go nowhere from now on.
    void Detach() { connection_ = nullptr; }

private:
    std::int32_t handle_;
    QString targetId_;
    QString sessionId_;
    QPointer<DevToolsConnection> connection_;
    std::string title_;
    std::string url_;
    std::optional<NavigationHistory> history_;
    int forwardEntryId_ = -1;
    desktop::ScreenPoint clientOrigin_;
    BrowserEventReceivers receivers_;
};

}  // namespace orvelle::browsers::devtools
