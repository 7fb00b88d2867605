#include "ChromiumHarness.h"

#include "DevToolsActivePort.h"

#include <QFile>
#include <QJsonArray>
#include <QRegularExpression>
#include <QTest>

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

namespace orvelle::test {

namespace {

constexpr int kStartTimeoutMs = 30000;
constexpr int kCallTimeoutMs = 15000;

}  // namespace

LocalWebServer::LocalWebServer(const std::string& folder) {
    process_.setProgram(QStringLiteral("python3"));
    process_.setArguments({QStringLiteral("-u"), QStringLiteral("-m"),
                           QStringLiteral("http.server"), QStringLiteral("0"),
                           QStringLiteral("--bind"), QStringLiteral("127.0.0.1"),
                           QStringLiteral("--directory"), QString::fromStdString(folder)});
    process_.start();
    if (!process_.waitForStarted(kStartTimeoutMs)) {
        ADD_FAILURE() << "python3 -m http.server did not start";
        return;
    }
    const QRegularExpression serving(QStringLiteral("port (\\d+)"));
    QString output;
    static_cast<void>(QTest::qWaitFor(
        [&] {
            output += QString::fromUtf8(process_.readAllStandardOutput());
            const auto match = serving.match(output);
            if (match.hasMatch()) {
                port_ = match.captured(1).toInt();
            }
            return port_ != 0;
        },
        kStartTimeoutMs));
    if (port_ == 0) {
        ADD_FAILURE() << "the web server did not say its port: " << output.toStdString();
    }
}

LocalWebServer::~LocalWebServer() {
    process_.kill();
    process_.waitForFinished(5000);
}

std::string LocalWebServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + "/" + path;
}

QString LocalWebServer::Requests() {
    QCoreApplication::processEvents();
    log_ += QString::fromUtf8(process_.readAllStandardError());
    return log_;
}

HeadlessChromium::HeadlessChromium(const std::string& profileFolder, const std::string& startUrl) {
    const QString profile = QString::fromStdString(profileFolder);
    process_.setProgram(QStringLiteral("chromium"));
    process_.setArguments({
        QStringLiteral("--headless"),
        QStringLiteral("--no-sandbox"),  // the tests run as root in CI
        QStringLiteral("--disable-gpu"),
        QStringLiteral("--disable-quic"),
        QStringLiteral("--no-first-run"),
        QStringLiteral("--no-default-browser-check"),
        QStringLiteral("--disable-background-networking"),
        QStringLiteral("--disable-component-update"),
        QStringLiteral("--disable-sync"),
        QStringLiteral("--disable-dev-shm-usage"),
        QStringLiteral("--user-data-dir=") + profile,
        QStringLiteral("--remote-debugging-port=0"),
        QString::fromStdString(startUrl),
    });
    // Its own process group, so that its helper processes end with it.
    process_.setChildProcessModifier([] { ::setsid(); });
    // Its complaints about the missing desktop bus are not the test's business.
    process_.setStandardErrorFile(profile + QStringLiteral(".log"));
    process_.start();
    if (!process_.waitForStarted(kStartTimeoutMs)) {
        ADD_FAILURE() << "chromium did not start (scripts/install-deps installs it)";
        return;
    }
    static_cast<void>(QTest::qWaitFor(
        [&] {
            QFile file(profile + QStringLiteral("/DevToolsActivePort"));
            if (!file.open(QIODevice::ReadOnly)) {
                return false;
            }
            const auto endpoint =
                browsers::devtools::ParseDevToolsActivePort(file.readAll().toStdString());
            if (endpoint) {
                endpoint_ = endpoint->WebSocketUrl();
            }
            return endpoint.has_value();
        },
        kStartTimeoutMs));
    if (endpoint_.empty()) {
        ADD_FAILURE() << "chromium wrote no DevToolsActivePort in " << profileFolder;
    }
}

HeadlessChromium::~HeadlessChromium() {
    if (process_.state() == QProcess::NotRunning) {
        return;
    }
    const auto group = static_cast<pid_t>(process_.processId());
    process_.terminate();
    if (!process_.waitForFinished(10000)) {
        process_.kill();
        process_.waitForFinished(5000);
    }
    // Helpers of the browser that outlived it, in the group it was started in.
    if (group > 0) {
        ::kill(-group, SIGKILL);
    }
}

DevToolsDriver::DevToolsDriver(const std::string& endpointUrl) {
    bool opened = false;
    QObject::connect(&connection_, &browsers::devtools::DevToolsConnection::opened,
                     [&opened] { opened = true; });
    connection_.Open(QUrl(QString::fromStdString(endpointUrl)));
    static_cast<void>(QTest::qWaitFor([&] { return opened; }, kCallTimeoutMs));
    if (!opened) {
        ADD_FAILURE() << "the driver could not connect to " << endpointUrl;
    }
}

QJsonObject DevToolsDriver::Call(const QString& method, const QJsonObject& params,
                                 const QString& sessionId) {
    bool answered = false;
    QJsonObject answer;
    QString failure;
    connection_.Send(method, params, sessionId,
                     [&](const QJsonObject& result, const QString& error) {
                         answered = true;
                         answer = result;
                         failure = error;
                     });
    static_cast<void>(QTest::qWaitFor([&] { return answered; }, kCallTimeoutMs));
    EXPECT_TRUE(answered) << method.toStdString() << " got no answer";
    EXPECT_TRUE(failure.isEmpty()) << method.toStdString() << ": " << failure.toStdString();
    return answer;
}

QString DevToolsDriver::PageWithTitle(const QString& title) {
    const QJsonArray targets =
        Call(QStringLiteral("Target.getTargets")).value(QStringLiteral("targetInfos")).toArray();
    for (const auto& value : targets) {
        const QJsonObject info = value.toObject();
        if (info.value(QStringLiteral("type")).toString() == QLatin1String("page") &&
            info.value(QStringLiteral("title")).toString() == title) {
            return info.value(QStringLiteral("targetId")).toString();
        }
    }
    return {};
}

int DevToolsDriver::PageCount() {
    const QJsonArray targets =
        Call(QStringLiteral("Target.getTargets")).value(QStringLiteral("targetInfos")).toArray();
    int pages = 0;
    for (const auto& value : targets) {
        if (value.toObject().value(QStringLiteral("type")).toString() == QLatin1String("page")) {
            ++pages;
        }
    }
    return pages;
}

QString DevToolsDriver::Attach(const QString& targetId) {
    return Call(QStringLiteral("Target.attachToTarget"),
                {{QStringLiteral("targetId"), targetId}, {QStringLiteral("flatten"), true}})
        .value(QStringLiteral("sessionId"))
        .toString();
}

void DevToolsDriver::Click(const QString& sessionId, int x, int y) {
    for (const char* type : {"mousePressed", "mouseReleased"}) {
        Call(QStringLiteral("Input.dispatchMouseEvent"),
             {{QStringLiteral("type"), QLatin1String(type)},
              {QStringLiteral("x"), x},
              {QStringLiteral("y"), y},
              {QStringLiteral("button"), QStringLiteral("left")},
              {QStringLiteral("buttons"),
               QLatin1String(type) == QLatin1String("mousePressed") ? 1 : 0},
              {QStringLiteral("clickCount"), 1}},
             sessionId);
    }
}

QString DevToolsDriver::Evaluate(const QString& sessionId, const QString& expression) {
    const QJsonObject result =
        Call(QStringLiteral("Runtime.evaluate"),
             {{QStringLiteral("expression"), expression}, {QStringLiteral("returnByValue"), true}},
             sessionId);
    return result.value(QStringLiteral("result"))
        .toObject()
        .value(QStringLiteral("value"))
        .toVariant()
        .toString();
}

}  // namespace orvelle::test
