#include "DevToolsWindow.h"

#include "os/RuntimeError.h"

namespace orvelle::browsers::devtools {

DevToolsWindow::DevToolsWindow(std::int32_t handle, QString targetId, QString sessionId,
                               DevToolsConnection* connection)
    : handle_(handle),
      targetId_(std::move(targetId)),
      sessionId_(std::move(sessionId)),
      connection_(connection) {
}

void DevToolsWindow::GoForward() {
    if (!history_ || !history_->canGoForward || forwardEntryId_ < 0 || connection_ == nullptr) {
        throw os::RuntimeError(-2147467259, "Unspecified error: the window has no forward history");
    }
    connection_->Send(QStringLiteral("Page.navigateToHistoryEntry"),
                      {{QStringLiteral("entryId"), forwardEntryId_}}, sessionId_);
}

void DevToolsWindow::StopDownload() {
    if (connection_ != nullptr) {
        connection_->Send(QStringLiteral("Page.stopLoading"), {}, sessionId_);
    }
}

desktop::ScreenPoint DevToolsWindow::ScreenToClient(desktop::ScreenPoint point) {
    return {point.x - clientOrigin_.x, point.y - clientOrigin_.y};
}

void DevToolsWindow::SetHistory(NavigationHistory history, int forwardEntryId) {
    const std::optional<NavigationHistory> previous = history_;
    history_ = history;
    forwardEntryId_ = forwardEntryId;
    if (!previous || previous->canGoForward != history.canGoForward) {
        receivers_.ForEach([&](IBrowserEvents& events) {
            events.CommandStateChange(CSC_NAVIGATEFORWARD, history.canGoForward);
        });
    }
    if (!previous || previous->canGoBack != history.canGoBack) {
        receivers_.ForEach([&](IBrowserEvents& events) {
            events.CommandStateChange(CSC_NAVIGATEBACK, history.canGoBack);
        });
    }
}

}  // namespace orvelle::browsers::devtools
