#pragma once

#include "DevToolsConnection.h"
#include "DevToolsWindow.h"

#include <QJsonObject>
#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace orvelle::browsers::devtools {

// One Chromium-family browser reached through its DevTools endpoint. Its page
// targets are the windows: each is attached before it runs, so that its
// navigation, load and document events can be turned into the window's
// notifications. A page that another page opens is a request for a new window:
// it is held until the opener's receivers decided, then closed before it loads
// anything or let run.
class DevToolsBrowser final : public QObject {
    Q_OBJECT

public:
    struct Hooks {
        // The window handle of a target (stable while the program runs).
        std::function<std::int32_t(const QString& targetId)> handleFor;
        // A window joined or left Windows().
        std::function<void()> registered;
        std::function<void()> revoked;
    };

    DevToolsBrowser(QString endpointUrl, Hooks hooks, QObject* parent = nullptr);
    ~DevToolsBrowser() override;
    DevToolsBrowser(const DevToolsBrowser&) = delete;
    DevToolsBrowser& operator=(const DevToolsBrowser&) = delete;

    // Connects; closed() follows when that fails.
    void Open();
    [[nodiscard]] const QString& EndpointUrl() const noexcept { return endpointUrl_; }
    // The browser's open pages, in the order they were first seen.
    [[nodiscard]] std::vector<std::shared_ptr<IBrowserWindow>> Windows() const;

    // The name of the page function that reports document mouse events.
    [[nodiscard]] const QString& BindingName() const noexcept { return bindingName_; }

Q_SIGNALS:
    // The connection ended (or never came); every window has been revoked.
    void closed();

private:
    struct Target {
        QString sessionId;
        QString openerId;
        std::string title;
        std::string url;
        // Attached: whether it is a window or a blocked new window is known.
        bool decided = false;
        bool blocked = false;
        bool registered = false;
        // Its document requests that came before the decision.
        std::vector<QString> pausedRequests;
        std::shared_ptr<DevToolsWindow> window;
        std::map<QString, std::string> frameUrls;
    };

    void OnOpened();
    void OnClosed();
    void OnEvent(const QString& method, const QJsonObject& params, const QString& sessionId);
    void OnTargetInfo(const QJsonObject& info);
    void OnTargetDestroyed(const QString& targetId);
    void OnAttached(const QString& sessionId, const QJsonObject& info, bool waiting);
    void OnSessionEvent(const QString& targetId, const QString& method, const QJsonObject& params);
    void OnRequestPaused(const QJsonObject& params);
    void ContinueRequest(const QString& requestId);
    void FailRequest(const QString& requestId, const QString& reason);
    [[nodiscard]] QString TargetOfFrame(const QString& frameId) const;
    void OnBindingCalled(const QString& targetId, const QJsonObject& params);
    void SetUpPage(const QString& targetId, bool waiting);
    void DecideNewWindow(const QString& targetId);
    void BlockNewWindow(const QString& targetId);
    void RecordFrames(const QString& targetId, const QJsonObject& tree);
    void RefreshHistory(const QString& targetId);
    void Register(const QString& targetId);
    void Revoke(const QString& targetId);
    [[nodiscard]] Target* Find(const QString& targetId);
    [[nodiscard]] std::shared_ptr<DevToolsWindow> RegisteredWindow(const QString& targetId);

    QString endpointUrl_;
    Hooks hooks_;
    DevToolsConnection connection_;
    QString bindingName_;
    std::map<QString, Target> targets_;
    std::map<QString, QString> sessions_;     // session id → target id
    std::map<QString, QString> frameOwners_;  // frame id → target id (frames below a page)
    std::vector<QString> order_;              // registered target ids
};

}  // namespace orvelle::browsers::devtools
