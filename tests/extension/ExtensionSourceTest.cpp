// The program's end of the extension: the private socket, the peer check, the window
// collection fed by it, and the real native host between a pretend browser and it.

#include "ExtensionBrowserSource.h"
#include "FakeBrowser.h"
#include "FakeDesktop.h"
#include "FakeOs.h"
#include "FakeStore.h"
#include "NativeMessages.h"
#include "TempEnvironment.h"
#include "WindowLog.h"
#include "cIEWindows.h"

#include <QLocalSocket>
#include <QProcess>
#include <QTest>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

using namespace orvelle;
using namespace orvelle::os;
using namespace orvelle::desktop;
using namespace orvelle::browsers;
using nativehost::FrameReader;
using nlohmann::json;
using test::Exists;
using test::MakeDirs;
using test::RemoveTree;

namespace {

constexpr int kWaitMs = 10000;

std::string FrameOf(const json& message) {
    return nativehost::EncodeFrame(message.dump(), nativehost::kMaxFromBrowser).value();
}

json TabMessage(int id, const std::string& title, const std::string& url) {
    return {{"type", "tab"}, {"tab", {{"id", id}, {"window", 1}, {"title", title}, {"url", url}}}};
}

unsigned Mode(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777U;
}

// Reads framed messages from a byte source as they come.
class Messages {
public:
    void Feed(const QByteArray& bytes) {
        reader_.Feed({bytes.constData(), static_cast<std::size_t>(bytes.size())});
        while (auto body = reader_.Next()) {
            received.push_back(json::parse(*body));
        }
    }
    std::vector<json> received;

private:
    FrameReader reader_{nativehost::kMaxToBrowser};
};

// A pretend native host: a plain client of the program's socket.
class Client {
public:
    explicit Client(const std::string& path) {
        socket_.connectToServer(QString::fromStdString(path));
        EXPECT_TRUE(socket_.waitForConnected(kWaitMs)) << socket_.errorString().toStdString();
        QObject::connect(&socket_, &QLocalSocket::readyRead,
                         [this] { messages.Feed(socket_.readAll()); });
    }
    void Send(const json& message) {
        const std::string frame = FrameOf(message);
        socket_.write(frame.data(), static_cast<qint64>(frame.size()));
        socket_.flush();
    }
    void Close() { socket_.disconnectFromServer(); }
    Messages messages;

private:
    QLocalSocket socket_;
};

class ExtensionSourceTest : public testing::Test {
protected:
    std::unique_ptr<popup::cIEWindows> Track(IBrowserWindowSource& source) {
        return std::make_unique<popup::cIEWindows>(
            popup::TrackingServices{source, eventPump, keys, sound, process, state, relay});
    }
    std::vector<popup::WindowLogRow> Log(const popup::cIEWindows& windows) {
        return popup::WindowLogRows(windows, "10:00:00 AM");
    }

    test::TempEnvironment environment;
    os::fake::FakeEventPump eventPump;
    desktop::fake::FakeKeyState keys;
    desktop::fake::FakeSound sound;
    os::fake::FakeProcessInfo process{"/opt/orvelle", "orvelle"};
    popup::PopupKillerState state;
    popup::Events relay;
};

TEST_F(ExtensionSourceTest, ListensInAPrivateFolderOfTheRuntimeFolder) {
    const std::string folder = environment.Path("runtime/orvelle");
    MakeDirs(folder);
    ASSERT_EQ(::chmod(folder.c_str(), 0755), 0);
    browsers::extension::ExtensionBrowserSource source;
    ASSERT_TRUE(source.IsListening()) << source.Problem();
    EXPECT_EQ(nativehost::SocketPath(), folder + "/popup.sock");
    EXPECT_EQ(Mode(folder), 0700U);
    struct stat info {};
    ASSERT_EQ(::lstat((folder + "/popup.sock").c_str(), &info), 0);
    EXPECT_TRUE(S_ISSOCK(info.st_mode));
}

TEST_F(ExtensionSourceTest, RefusesAFolderThatIsALinkAndSaysWhy) {
    MakeDirs(environment.Path("elsewhere"));
    ASSERT_EQ(::symlink(environment.Path("elsewhere").c_str(),
                        environment.Path("runtime/orvelle").c_str()),
              0);
    browsers::extension::ExtensionBrowserSource source;
    EXPECT_FALSE(source.IsListening());
    EXPECT_NE(source.Problem().find("is not a folder of this user"), std::string::npos);
    EXPECT_NE(source.ConnectionHint().find("Browsers cannot connect"), std::string::npos);
    EXPECT_FALSE(Exists(environment.Path("elsewhere/popup.sock")));
}

TEST_F(ExtensionSourceTest, ABrowsersTabsBecomeTheWindowLogAndItsBlockedWindowsPlayTheSound) {
    browsers::extension::ExtensionBrowserSource source;
    ASSERT_TRUE(source.IsListening()) << source.Problem();
    const auto windows = Track(source);
    state.SetActive(true);
    state.SetSoundPath("/sounds/pop.wav");

    Client browser(nativehost::SocketPath());
    // The switch comes first, and again whenever it changes.
    ASSERT_TRUE(QTest::qWaitFor([&] { return browser.messages.received.size() == 1; }, kWaitMs));
    EXPECT_EQ(browser.messages.received[0], (json{{"type", "state"}, {"blocking", false}}));
    source.SetPopupBlocking(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return browser.messages.received.size() == 2; }, kWaitMs));
    EXPECT_EQ(browser.messages.received[1], (json{{"type", "state"}, {"blocking", true}}));

    browser.Send({{"type", "hello"}, {"browser", "Firefox 153.8.0"}});
    browser.Send(TabMessage(1, "Opener Page", "http://127.0.0.1/opener.html"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return windows->Count() == 1; }, kWaitMs));
    EXPECT_EQ(source.ConnectedBrowsers(), std::vector<std::string>{"Firefox 153.8.0"});
    const auto rows = Log(*windows);
    ASSERT_EQ(rows.size(), 1U);
    EXPECT_EQ(rows[0].location, "Opener Page");
    EXPECT_EQ(rows[0].url, "http://127.0.0.1/opener.html");

    browser.Send({{"type", "blocked"}, {"tab", 1}, {"url", "http://127.0.0.1/popup.html"}});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !sound.played.empty(); }, kWaitMs));
    EXPECT_EQ(sound.played, std::vector<std::string>{"/sounds/pop.wav"});

    // A blocked window reported after the switch went off (a page that loaded before)
    // plays nothing: the rule is the monitor's, unchanged.
    state.SetActive(false);
    browser.Send({{"type", "blocked"}, {"tab", 1}, {"url", "http://127.0.0.1/popup.html"}});
    browser.Send(TabMessage(1, "Opener Page, retitled", "http://127.0.0.1/opener.html"));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return Log(*windows).at(0).location == "Opener Page, retitled"; }, kWaitMs));
    EXPECT_EQ(sound.played.size(), 1U);

    browser.Close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return windows->Count() == 0; }, kWaitMs));
    EXPECT_TRUE(source.ConnectedBrowsers().empty());
}

TEST_F(ExtensionSourceTest, AStreamWithAnOversizedLengthIsCutOffAndTheOthersGoOn) {
    browsers::extension::ExtensionBrowserSource source;
    const auto windows = Track(source);
    Client good(nativehost::SocketPath());
    Client bad(nativehost::SocketPath());
    good.Send(TabMessage(1, "Good", "http://good/"));
    bad.Send(TabMessage(1, "Bad", "http://bad/"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return windows->Count() == 2; }, kWaitMs));

    // A malformed message is dropped; the stream goes on.
    QLocalSocket raw;
    raw.connectToServer(QString::fromStdString(nativehost::SocketPath()));
    ASSERT_TRUE(raw.waitForConnected(kWaitMs));
    const std::string junk = nativehost::EncodeFrame("{\"type\":\"tab\",\"tab\":[").value() +
                             FrameOf(TabMessage(2, "After junk", "http://after/"));
    raw.write(junk.data(), static_cast<qint64>(junk.size()));
    raw.flush();
    ASSERT_TRUE(QTest::qWaitFor([&] { return windows->Count() == 3; }, kWaitMs));

    const std::uint32_t huge = nativehost::kMaxFromBrowser + 1;
    raw.write(reinterpret_cast<const char*>(&huge), sizeof(huge));
    raw.flush();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return raw.state() == QLocalSocket::UnconnectedState; }, kWaitMs));
    ASSERT_TRUE(QTest::qWaitFor([&] { return windows->Count() == 2; }, kWaitMs));
    good.Send(TabMessage(2, "Still heard", "http://good/2"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return windows->Count() == 3; }, kWaitMs));
}

TEST_F(ExtensionSourceTest, AProcessOfAnotherUserIsRefused) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "running a process as nobody needs root (the CI runs as root)";
    }
    // A folder anybody may pass through and a socket anybody may write to: only the
    // peer check is left to refuse the stranger.
    char base[] = "/tmp/orvelle-peer-XXXXXX";
    ASSERT_NE(::mkdtemp(base), nullptr);
    const std::string folder = std::string(base) + "/orvelle";
    const std::string path = folder + "/popup.sock";
    {
        browsers::extension::ExtensionBrowserSource source(path);
        ASSERT_TRUE(source.IsListening()) << source.Problem();
        const auto windows = Track(source);
        ASSERT_EQ(::chmod(base, 0711), 0);
        ASSERT_EQ(::chmod(folder.c_str(), 0711), 0);
        ASSERT_EQ(::chmod(path.c_str(), 0777), 0);

        // The stranger connects, says it is a browser with a tab, and reads what comes.
        const char* script = R"(
import socket, struct, json, sys
s = socket.socket(socket.AF_UNIX)
s.connect(sys.argv[1])
body = json.dumps({"type": "tab", "tab": {"id": 1, "window": 1, "title": "Stranger", "url": "x"}}).encode()
try:
    s.sendall(struct.pack("=I", len(body)) + body)
except OSError:
    pass
s.settimeout(5)
try:
    print("read", len(s.recv(100)))
except OSError as error:
    print("error", error)
)";
        QProcess stranger;
        stranger.start(
            QStringLiteral("setpriv"),
            {QStringLiteral("--reuid=nobody"), QStringLiteral("--regid=nogroup"),
             QStringLiteral("--clear-groups"), QStringLiteral("/usr/bin/python3"),
             QStringLiteral("-c"), QString::fromUtf8(script), QString::fromStdString(path)});
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return stranger.state() == QProcess::NotRunning; }, kWaitMs));
        const std::string output = stranger.readAllStandardOutput().toStdString();
        EXPECT_EQ(stranger.exitCode(), 0) << stranger.readAllStandardError().toStdString();
        // Connected, then closed without a word: no state, and no window.
        EXPECT_TRUE(output == "read 0\n" || output.rfind("error", 0) == 0) << output;
        EXPECT_EQ(windows->Count(), 0);

        // The owner still gets in.
        Client owner(path);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !owner.messages.received.empty(); }, kWaitMs));
    }
    RemoveTree(base);
}

// ---------------------------------------------------------------------------
// The native host, as a browser starts it.

class HostTest : public ExtensionSourceTest {
protected:
    void StartHost() {
        host.setProgram(QStringLiteral(ORVELLE_HOST_PATH));
        host.setArguments({QStringLiteral("chrome-extension://test/")});
        QObject::connect(&host, &QProcess::readyReadStandardOutput,
                         [this] { toBrowser.Feed(host.readAllStandardOutput()); });
        host.start();
        ASSERT_TRUE(host.waitForStarted(kWaitMs));
    }
    void Send(const json& message) { Write(FrameOf(message)); }
    void Write(const std::string& bytes) {
        host.write(bytes.data(), static_cast<qint64>(bytes.size()));
    }
    bool Says(const json& message, std::size_t from = 0) {
        return QTest::qWaitFor(
            [&] {
                for (std::size_t at = from; at < toBrowser.received.size(); ++at) {
                    if (toBrowser.received[at] == message) {
                        return true;
                    }
                }
                return false;
            },
            kWaitMs);
    }
    bool Ends() {
        return QTest::qWaitFor([&] { return host.state() == QProcess::NotRunning; }, kWaitMs);
    }

    QProcess host;
    Messages toBrowser;
    const json sync{{"type", "sync"}};
    const json off{{"type", "state"}, {"blocking", false}};
    const json on{{"type", "state"}, {"blocking", true}};
};

TEST_F(HostTest, WithoutTheProgramItTellsTheExtensionToBlockNothingAndEndsOnEof) {
    StartHost();
    ASSERT_TRUE(Says(off));
    Send({{"type", "hello"}, {"browser", "Chromium 156"}});
    host.closeWriteChannel();
    ASSERT_TRUE(Ends());
    EXPECT_EQ(host.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(host.exitCode(), 0);
}

TEST_F(HostTest, RelaysBothWaysAndRefusesWhatIsNotAKnownMessage) {
    auto source = std::make_unique<browsers::extension::ExtensionBrowserSource>();
    source->SetPopupBlocking(true);
    auto windows = Track(*source);
    StartHost();
    ASSERT_TRUE(Says(sync));
    ASSERT_TRUE(Says(on));

    Send({{"type", "hello"}, {"browser", "Chromium 156"}});
    Send(TabMessage(10, "First", "http://first/"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return windows->Count() == 1; }, kWaitMs));
    // Not JSON, an unknown type, a program's message from the browser: each dropped.
    Write(nativehost::EncodeFrame("not json").value());
    Send({{"type", "launch"}, {"path", "/bin/sh"}});
    Send({{"type", "state"}, {"blocking", false}});
    Send(TabMessage(11, "Second", "http://second/"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return windows->Count() == 2; }, kWaitMs));
    EXPECT_EQ(host.state(), QProcess::Running);

    const std::size_t before = toBrowser.received.size();
    source->SetPopupBlocking(false);
    ASSERT_TRUE(Says(off, before));

    // The program ends: the extension is told to block nothing. It comes back: the
    // host finds it again and asks the extension for its tabs.
    windows.reset();
    source.reset();
    ASSERT_TRUE(Says(off, before + 1));
    const std::size_t away = toBrowser.received.size();
    source = std::make_unique<browsers::extension::ExtensionBrowserSource>();
    ASSERT_TRUE(Says(sync, away));

    // A length over the limit breaks the stream: the host ends.
    const std::uint32_t huge = nativehost::kMaxFromBrowser + 1;
    Write(std::string(reinterpret_cast<const char*>(&huge), sizeof(huge)));
    ASSERT_TRUE(Ends());
    EXPECT_EQ(host.exitCode(), 1);
}

}  // namespace
