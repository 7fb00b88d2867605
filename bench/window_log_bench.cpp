// How long a browser's tab event takes to reach the window log: headless Chromium
// with Orvelle's extension, the real native host and the program's browser source.
// A page opens a tab, the tab retitles itself and closes itself, each event stamped
// with the browser's clock (Date.now()); the bench notes when the window log (the
// rows the Popup Killer page shows) first shows each change, by the same clock.
// Budget: 100 ms from the browser's event to the log, median and 95th percentile.
//
//   window_log_bench [CYCLES]

#include "ExtensionBrowserSource.h"
#include "FakeBrowser.h"
#include "FakeDesktop.h"
#include "FakeOs.h"
#include "FakeStore.h"
#include "WindowLog.h"
#include "cIEWindows.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

using namespace orvelle;

namespace {

constexpr double kBudgetMs = 100.0;

const char* const kServer = R"(
import http.server, sys
class Handler(http.server.SimpleHTTPRequestHandler):
    def end_headers(self):
        self.send_header("Cache-Control", "no-store")
        super().end_headers()
    def log_message(self, *args):
        pass
server = http.server.ThreadingHTTPServer(("127.0.0.1", 0),
    lambda *a, **k: Handler(*a, directory=sys.argv[1], **k))
print("port", server.server_address[1], flush=True)
server.serve_forever()
)";

// Every 1.5 s: opens a tab stamped with the time it asked for it, and closes it
// 900 ms later, its own title saying which tab it closed when.
const char* const kOpener = R"(<!doctype html><html><head><title>Opener</title></head><body>
<script>
let n = 0;
setTimeout(function cycle() {
  if (++n > CYCLES) { document.title = 'finished'; return; }
  const opened = Date.now();
  const tab = window.open('tab.html?open=' + opened, '_blank');
  setTimeout(() => { document.title = 'closed ' + opened + ' ' + Date.now(); tab.close(); }, 900);
  setTimeout(cycle, 1500);
}, 3000);
</script></body></html>
)";

// Retitles itself after 400 ms, stamped.
const char* const kTab = R"(<!doctype html><html><head><title>tab</title></head><body>
<script>
setTimeout(() => { document.title = 'retitled=' + Date.now(); }, 400);
</script></body></html>
)";

bool WriteText(const QString& path, const QString& text) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) >= 0;
}

// Watches the window log and notes the moment each stamped change first shows.
class LogWatcher final : public popup::cIEWindowsEvents {
public:
    explicit LogWatcher(popup::cIEWindows& windows) : windows_(windows) {}

    void IEWindowRegistered() override { Look(); }
    void IEWindowRevoked() override { Look(); }
    void IENavigationBegin(std::int32_t, const browsers::BrowserDispatch&, const std::string&,
                           std::int32_t, const std::string&, const std::string&, const std::string&,
                           bool&) override {}
    void IENavigationComplete(std::int32_t, const browsers::BrowserDispatch&,
                              const std::string&) override {}
    void IEDocumentComplete(std::int32_t, const browsers::BrowserDispatch&,
                            const std::string&) override {}
    void IEDownloadBegin(std::int32_t) override {}
    void IEDownloadComplete(std::int32_t) override {}
    void IEOnContextMenu(std::int32_t) override {}
    void IEMouseDown(std::int32_t, std::int16_t, std::int16_t, float, float) override {}
    void IEMouseUp(std::int32_t, std::int16_t, std::int16_t, float, float) override {}
    void IECommandStateChange(std::int32_t, std::int32_t, bool) override {}

    std::vector<double> opened, retitled, closed;
    bool finished = false;

private:
    void Look() {
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        const auto rows = popup::WindowLogRows(windows_, "00:00:00 AM");
        std::set<qint64> present;  // the open stamps of the tabs in the log
        for (const auto& row : rows) {
            finished = finished || row.location == "finished";
            long long opener = 0;
            long long closing = 0;
            if (std::sscanf(row.location.c_str(), "closed %lld %lld", &opener, &closing) == 2) {
                closeAsked_[opener] = closing;
            }
            const auto at = row.url.find("tab.html?open=");
            if (at == std::string::npos) {
                continue;
            }
            const qint64 stamp = std::atoll(row.url.c_str() + at + 14);
            present.insert(stamp);
            if (seen_.insert({stamp, 'o'}).second) {
                opened.push_back(static_cast<double>(now - stamp));
            }
            if (row.location.rfind("retitled=", 0) == 0 && seen_.insert({stamp, 'r'}).second) {
                retitled.push_back(static_cast<double>(now - std::atoll(row.location.c_str() + 9)));
            }
        }
        for (const auto& [stamp, kind] : seen_) {
            if (kind == 'o' && present.count(stamp) == 0) {
                goneAt_.try_emplace(stamp, now);
            }
        }
        // A close counts once both the tab's leaving and the time it was asked are known.
        for (auto it = goneAt_.begin(); it != goneAt_.end();) {
            const auto asked = closeAsked_.find(it->first);
            if (asked != closeAsked_.end()) {
                closed.push_back(static_cast<double>(it->second - asked->second));
                seen_.insert({it->first, 'c'});
                seen_.erase({it->first, 'o'});
                it = goneAt_.erase(it);
            } else {
                ++it;
            }
        }
    }

    popup::cIEWindows& windows_;
    std::set<std::pair<qint64, char>> seen_;
    std::map<qint64, qint64> closeAsked_;
    std::map<qint64, qint64> goneAt_;
};

double Percentile(std::vector<double> values, double share) {
    if (values.empty()) {
        return -1;
    }
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(share * static_cast<double>(values.size() - 1));
    return values[index];
}

// The pages the browser opens, and a private runtime folder for the native host's socket.
QString WriteThePages(const QTemporaryDir& root, int cycles) {
    QString www = root.filePath(QStringLiteral("www"));
    QDir().mkpath(www);
    QDir().mkpath(root.filePath(QStringLiteral("runtime")));
    QFile::setPermissions(root.filePath(QStringLiteral("runtime")),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    ::setenv("XDG_RUNTIME_DIR", root.filePath(QStringLiteral("runtime")).toUtf8().constData(), 1);
    WriteText(
        www + QStringLiteral("/opener.html"),
        QString::fromUtf8(kOpener).replace(QStringLiteral("CYCLES"), QString::number(cycles)));
    WriteText(www + QStringLiteral("/tab.html"), QString::fromUtf8(kTab));
    return www;
}

// The local web server's port; empty when it did not start.
QString StartTheServer(QProcess& server, const QString& www) {
    server.start(QStringLiteral("python3"),
                 {QStringLiteral("-u"), QStringLiteral("-c"), QString::fromUtf8(kServer), www});
    QString said;
    QString port;
    while (port.isEmpty() && server.waitForReadyRead(30000)) {
        said += QString::fromUtf8(server.readAllStandardOutput());
        port = QRegularExpression(QStringLiteral("port (\\d+)")).match(said).captured(1);
    }
    return port;
}

// Headless Chromium with the extension and the native host's manifest, in its own group.
void StartChromium(QProcess& browser, const QTemporaryDir& root, const QString& port) {
    const QString profile = root.filePath(QStringLiteral("chromium"));
    QDir().mkpath(profile + QStringLiteral("/NativeMessagingHosts"));
    QFile::copy(QStringLiteral(ORVELLE_HOST_MANIFESTS "/chromium/" ORVELLE_NATIVE_HOST ".json"),
                profile + QStringLiteral("/NativeMessagingHosts/" ORVELLE_NATIVE_HOST ".json"));
    browser.setChildProcessModifier([] { ::setsid(); });
    browser.start(
        QStringLiteral("chromium"),
        {QStringLiteral("--headless=new"), QStringLiteral("--no-sandbox"),
         QStringLiteral("--disable-gpu"), QStringLiteral("--no-first-run"),
         QStringLiteral("--disable-popup-blocking"), QStringLiteral("--user-data-dir=") + profile,
         QStringLiteral("--load-extension=" ORVELLE_EXTENSION_DIR),
         QStringLiteral("http://127.0.0.1:%1/opener.html").arg(port)});
}

// Every cycle's events, then the last tab's close.
void WaitForTheEvents(const LogWatcher& watcher, int cycles) {
    QElapsedTimer limit;
    limit.start();
    const qint64 allowedMs = 20000 + static_cast<qint64>(cycles) * 1500;
    while (!watcher.finished && limit.elapsed() < allowedMs) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    }
    // The last tab's close.
    QElapsedTimer tail;
    tail.start();
    while (tail.elapsed() < 2000) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    }
}

// The table of delays; whether both the median and the 95th percentile are within budget.
bool PrintTheDelays(const LogWatcher& watcher) {
    bool within = true;
    std::printf("%-10s %6s %10s %10s %10s\n", "event", "count", "median ms", "p95 ms", "max ms");
    for (const auto& [name, values] :
         {std::pair{"opened", &watcher.opened}, std::pair{"retitled", &watcher.retitled},
          std::pair{"closed", &watcher.closed}}) {
        const double median = Percentile(*values, 0.5);
        const double p95 = Percentile(*values, 0.95);
        std::printf("%-10s %6zu %10.1f %10.1f %10.1f\n", name, values->size(), median, p95,
                    Percentile(*values, 1.0));
        within = within && !values->empty() && median <= kBudgetMs && p95 <= kBudgetMs;
    }
    std::printf("budget %.0f ms (median and 95th percentile): %s\n", kBudgetMs,
                within ? "met" : "NOT met");
    return within;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int cycles = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    QTemporaryDir root;
    const QString www = WriteThePages(root, cycles);

    browsers::extension::ExtensionBrowserSource source;
    if (!source.IsListening()) {
        std::fprintf(stderr, "window_log_bench: %s\n", source.Problem().c_str());
        return 2;
    }
    os::fake::FakeEventPump pump;
    desktop::fake::FakeKeyState keys;
    desktop::fake::FakeSound sound;
    os::fake::FakeProcessInfo process;
    popup::PopupKillerState state;
    popup::Events relay;
    popup::cIEWindows windows({source, pump, keys, sound, process, state, relay});
    LogWatcher watcher(windows);
    windows.AddListener(&watcher);
    source.SetPopupBlocking(false);  // the tabs are to open

    QProcess server;
    const QString port = StartTheServer(server, www);
    if (port.isEmpty()) {
        std::fprintf(stderr, "window_log_bench: the web server did not start\n");
        return 2;
    }
    QProcess browser;
    StartChromium(browser, root, port);

    WaitForTheEvents(watcher, cycles);
    windows.RemoveListener(&watcher);
    const auto group = static_cast<pid_t>(browser.processId());
    browser.terminate();
    browser.waitForFinished(10000);
    if (group > 0) {
        ::kill(-group, SIGKILL);
    }
    server.kill();
    server.waitForFinished(5000);

    return PrintTheDelays(watcher) ? 0 : 1;
}
