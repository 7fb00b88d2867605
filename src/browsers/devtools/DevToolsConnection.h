#pragma once

#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QUrl>
#include <QWebSocket>

#include <functional>
#include <map>

namespace orvelle::browsers::devtools {

// One WebSocket connection to a browser's DevTools endpoint: commands with their
// replies, and the protocol's events (of the browser or, with a session id, of an
// attached target).
class DevToolsConnection final : public QObject {
    Q_OBJECT

public:
    // The command's result, or a non-empty error message.
    using Reply = std::function<void(const QJsonObject& result, const QString& error)>;

    explicit DevToolsConnection(QObject* parent = nullptr);
    ~DevToolsConnection() override;
    DevToolsConnection(const DevToolsConnection&) = delete;
    DevToolsConnection& operator=(const DevToolsConnection&) = delete;

    // Connects to `url`; opened() or closed() follows.
    void Open(const QUrl& url);
    void Close();
    [[nodiscard]] bool IsOpen() const;

    // Sends a command (to the browser, or to the target attached as `sessionId`).
    // `reply`, when given, runs once the browser answers; never after closed().
    void Send(const QString& method, const QJsonObject& params = {}, const QString& sessionId = {},
              Reply reply = {});

Q_SIGNALS:
    void opened();
    // The connection could not be made or has ended; emitted once.
    void closed();
    void eventReceived(const QString& method, const QJsonObject& params, const QString& sessionId);

private:
    void OnMessage(const QString& message);
    void OnStateChanged(QAbstractSocket::SocketState state);

    QWebSocket socket_;
    qint64 nextId_ = 1;
    std::map<qint64, Reply> pending_;
    bool closedEmitted_ = false;
};

}  // namespace orvelle::browsers::devtools
