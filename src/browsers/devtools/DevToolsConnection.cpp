#include "DevToolsConnection.h"

#include <QJsonDocument>
#include <QLoggingCategory>

namespace orvelle::browsers::devtools {

namespace {
// QT_LOGGING_RULES="orvelle.devtools.debug=true" shows the protocol's traffic.
Q_LOGGING_CATEGORY(lcDevTools, "orvelle.devtools", QtWarningMsg)
}  // namespace

DevToolsConnection::DevToolsConnection(QObject* parent) : QObject(parent) {
    // Browser replies and events can be large (page titles, history lists), never huge.
    socket_.setMaxAllowedIncomingMessageSize(quint64{64} * 1024 * 1024);
    connect(&socket_, &QWebSocket::connected, this, &DevToolsConnection::opened);
    connect(&socket_, &QWebSocket::stateChanged, this, &DevToolsConnection::OnStateChanged);
    // Qt 6.4 names the socket's error signal `error`; a refused connection may end there
    // without a change of state.
    connect(&socket_, qOverload<QAbstractSocket::SocketError>(&QWebSocket::error), this,
            [this](QAbstractSocket::SocketError) { OnStateChanged(socket_.state()); });
    connect(&socket_, &QWebSocket::textMessageReceived, this, &DevToolsConnection::OnMessage);
}

DevToolsConnection::~DevToolsConnection() {
    // Closing from the destructor must not call back into a half-destroyed owner.
    socket_.disconnect(this);
    socket_.abort();
}

void DevToolsConnection::Open(const QUrl& url) {
    // No Origin header is sent: the browser refuses foreign origins, not their absence.
    socket_.open(url);
}

void DevToolsConnection::Close() {
    socket_.close();
}

bool DevToolsConnection::IsOpen() const {
    return socket_.state() == QAbstractSocket::ConnectedState;
}

void DevToolsConnection::Send(const QString& method, const QJsonObject& params,
                              const QString& sessionId, Reply reply) {
    if (!IsOpen()) {
        return;
    }
    const qint64 id = nextId_++;
    QJsonObject command{{QStringLiteral("id"), id}, {QStringLiteral("method"), method}};
    if (!params.isEmpty()) {
        command.insert(QStringLiteral("params"), params);
    }
    if (!sessionId.isEmpty()) {
        command.insert(QStringLiteral("sessionId"), sessionId);
    }
    if (reply) {
        pending_.emplace(id, std::move(reply));
    }
    const QString text = QString::fromUtf8(QJsonDocument(command).toJson(QJsonDocument::Compact));
    qCDebug(lcDevTools).noquote() << "->" << text.left(2000);
    socket_.sendTextMessage(text);
}

void DevToolsConnection::OnMessage(const QString& message) {
    qCDebug(lcDevTools).noquote() << "<-" << message.left(2000);
    const QJsonDocument document = QJsonDocument::fromJson(message.toUtf8());
    if (!document.isObject()) {
        return;  // not the protocol: ignored
    }
    const QJsonObject object = document.object();
    const QString sessionId = object.value(QStringLiteral("sessionId")).toString();
    const QJsonValue id = object.value(QStringLiteral("id"));
    if (!id.isUndefined()) {
        const auto found = pending_.find(id.toInteger());
        if (found == pending_.end()) {
            return;
        }
        const Reply reply = std::move(found->second);
        pending_.erase(found);
        const QJsonObject error = object.value(QStringLiteral("error")).toObject();
        QString errorText;
        if (object.contains(QStringLiteral("error"))) {
            errorText = error.value(QStringLiteral("message")).toString();
            if (errorText.isEmpty()) {
                errorText = QStringLiteral("the browser refused the command");
            }
        }
        reply(object.value(QStringLiteral("result")).toObject(), errorText);
        return;
    }
    const QString method = object.value(QStringLiteral("method")).toString();
    if (!method.isEmpty()) {
        Q_EMIT eventReceived(method, object.value(QStringLiteral("params")).toObject(), sessionId);
    }
}

void DevToolsConnection::OnStateChanged(QAbstractSocket::SocketState state) {
    if (state != QAbstractSocket::UnconnectedState || closedEmitted_) {
        return;
    }
    closedEmitted_ = true;
    qCDebug(lcDevTools).noquote() << "closed:" << socket_.errorString();
    pending_.clear();
    Q_EMIT closed();
}

}  // namespace orvelle::browsers::devtools
