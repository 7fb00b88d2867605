#pragma once

// Real components for the browser tests: a local web server, headless Chromium with
// a private profile and a debugging port, and a DevTools client that drives it.

#include "DevToolsConnection.h"

#include <QJsonObject>
#include <QProcess>
#include <QString>

#include <memory>
#include <string>

namespace orvelle::test {

// Python's http.server on 127.0.0.1 and a free port, serving one folder.
class LocalWebServer {
public:
    explicit LocalWebServer(const std::string& folder);
    ~LocalWebServer();
    LocalWebServer(const LocalWebServer&) = delete;
    LocalWebServer& operator=(const LocalWebServer&) = delete;

    [[nodiscard]] int Port() const noexcept { return port_; }
    // http://127.0.0.1:<port>/<path>
    [[nodiscard]] std::string Url(const std::string& path) const;
    // The request lines the server logged so far ("GET /x.html?a HTTP/1.1").
    [[nodiscard]] QString Requests();

private:
    QProcess process_;
    int port_ = 0;
    QString log_;
};

// Headless Chromium on a private profile folder, asked for a debugging port.
class HeadlessChromium {
public:
    HeadlessChromium(const std::string& profileFolder, const std::string& startUrl);
    ~HeadlessChromium();
    HeadlessChromium(const HeadlessChromium&) = delete;
    HeadlessChromium& operator=(const HeadlessChromium&) = delete;

    // The browser's WebSocket address, from the profile's DevToolsActivePort.
    [[nodiscard]] const std::string& EndpointUrl() const noexcept { return endpoint_; }

private:
    QProcess process_;
    std::string endpoint_;
};

// A second DevTools client that plays the user: it clicks, evaluates and closes.
class DevToolsDriver {
public:
    explicit DevToolsDriver(const std::string& endpointUrl);

    // Sends a command and waits for its answer; fails the test on an error.
    QJsonObject Call(const QString& method, const QJsonObject& params = {},
                     const QString& sessionId = {});
    // The target id of the first page whose title is `title`, or "".
    QString PageWithTitle(const QString& title);
    // Attaches to a page target (flat session) and returns the session id.
    QString Attach(const QString& targetId);
    // A left click with the mouse at (x, y) of the page: a user gesture.
    void Click(const QString& sessionId, int x, int y);
    // Evaluates an expression in the page and returns its value as text.
    QString Evaluate(const QString& sessionId, const QString& expression);
    [[nodiscard]] int PageCount();

private:
    browsers::devtools::DevToolsConnection connection_;
};

}  // namespace orvelle::test
