// The popup killer against a real browser: headless Chromium with a private profile
// and a debugging port, pages served from 127.0.0.1, the real DevTools source.

#include "ChromiumHarness.h"
#include "DevToolsBrowserSource.h"
#include "FakeBrowser.h"
#include "FakeDesktop.h"
#include "FakeOs.h"
#include "FakeStore.h"
#include "TempEnvironment.h"
#include "cIEWindows.h"
#include "os/RuntimeError.h"

#include <QJsonArray>
#include <QRandomGenerator>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

using namespace orvelle;
using namespace orvelle::os;
using namespace orvelle::desktop;
using namespace orvelle::browsers;

namespace {

constexpr int kEventTimeoutMs = 20000;
// How long a blocked pop-up is given to show up anyway before the test says it did not.
constexpr int kQuietPeriodMs = 1500;

const char* const kOpenerPage = R"(<!doctype html>
<html><head><title>Opener Page</title></head>
<body style="margin:0">
<button id="open" style="position:absolute;left:0;top:0;width:200px;height:100px"
  onclick="window.clicks = (window.clicks || 0) + 1;
           window.lastPopup = window.open('popup.html?n=' + window.clicks + '&' + location.search.slice(1),
                                          '_blank', 'width=320,height=240');">Open</button>
<a id="next" href="second.html" style="position:absolute;left:0;top:120px">Next</a>
</body></html>
)";

const char* const kPopupPage = R"(<!doctype html>
<html><head><title>Popup Page</title></head><body>A pop-up.</body></html>
)";

const char* const kSecondPage = R"(<!doctype html>
<html><head><title>Second Page</title></head><body>The second page.</body></html>
)";

// Records the collection's events.
class RecordingListener final : public popup::cIEWindowsEvents {
public:
    void IEWindowRegistered() override { ++registered; }
    void IEWindowRevoked() override { ++revoked; }
    void IENavigationBegin(std::int32_t /*hwnd*/, const BrowserDispatch& pDisp,
                           const std::string& url, std::int32_t /*flags*/,
                           const std::string& /*targetFrameName*/, const std::string& /*postData*/,
                           const std::string& /*headers*/, bool& cancel) override {
        navigations.push_back(url);
        topLevelNavigations += pDisp.window != nullptr ? 1 : 0;
        if (!cancelNavigationsTo.empty() && url.find(cancelNavigationsTo) != std::string::npos) {
            cancel = true;
        }
    }
    void IENavigationComplete(std::int32_t /*hwnd*/, const BrowserDispatch& /*pDisp*/,
                              const std::string& url) override {
        completed.push_back(url);
    }
    void IEDocumentComplete(std::int32_t /*hwnd*/, const BrowserDispatch& /*pDisp*/,
                            const std::string& url) override {
        documents.push_back(url);
    }
    void IEDownloadBegin(std::int32_t /*hwnd*/) override { ++downloadsBegun; }
    void IEDownloadComplete(std::int32_t /*hwnd*/) override { ++downloadsCompleted; }
    void IEMouseDown(std::int32_t /*hwnd*/, std::int16_t button, std::int16_t /*shift*/, float x,
                     float y) override {
        mouseDowns.push_back(button);
        lastMouse = {static_cast<int>(x), static_cast<int>(y)};
    }
    void IEMouseUp(std::int32_t /*hwnd*/, std::int16_t button, std::int16_t /*shift*/, float /*x*/,
                   float /*y*/) override {
        mouseUps.push_back(button);
    }
    void IECommandStateChange(std::int32_t /*hwnd*/, std::int32_t command, bool enable) override {
        commands.push_back({command, enable});
    }

    int registered = 0;
    int revoked = 0;
    std::vector<std::string> navigations;
    int topLevelNavigations = 0;
    std::string cancelNavigationsTo;
    std::vector<std::string> completed;
    std::vector<std::string> documents;
    int downloadsBegun = 0;
    int downloadsCompleted = 0;
    std::vector<std::int16_t> mouseDowns;
    std::vector<std::int16_t> mouseUps;
    ScreenPoint lastMouse;
    std::vector<std::pair<std::int32_t, bool>> commands;
};

class ChromiumPopupTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string site = environment.Path("site");
        test::MakeDirs(site);
        test::WriteFile(site + "/opener.html", kOpenerPage);
        test::WriteFile(site + "/popup.html", kPopupPage);
        test::WriteFile(site + "/second.html", kSecondPage);
        server = std::make_unique<test::LocalWebServer>(site);
        ASSERT_NE(server->Port(), 0);
        // Chromium keeps Python's responses in its cache: every run asks for fresh ones.
        bust = std::to_string(QRandomGenerator::global()->generate());
        profile = environment.Path("profile");
        test::MakeDirs(profile);
        chromium =
            std::make_unique<test::HeadlessChromium>(profile, server->Url("opener.html?" + bust));
        ASSERT_FALSE(chromium->EndpointUrl().empty());
        source = std::make_unique<browsers::devtools::DevToolsBrowserSource>(
            [this] { return std::vector<std::string>{profile}; });
        state.SetActive(true);
        state.SetSoundPath("/sounds/blocked.wav");
        windows = std::make_unique<popup::cIEWindows>(
            popup::TrackingServices{*source, eventPump, keys, sound, process, state, relay});
        windows->AddListener(&listener);
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return TitleOfFirst() == "Opener Page"; }, kEventTimeoutMs))
            << "the open page was not listed with its title";
        driver = std::make_unique<test::DevToolsDriver>(chromium->EndpointUrl());
        openerSession = driver->Attach(driver->PageWithTitle(QStringLiteral("Opener Page")));
        ASSERT_FALSE(openerSession.isEmpty());
    }

    void TearDown() override {
        if (windows) {
            windows->RemoveListener(&listener);
        }
        windows.reset();
        source.reset();
        driver.reset();
        chromium.reset();
        server.reset();
    }

    std::string TitleOfFirst() {
        const auto monitors = windows->NewEnum();
        return monitors.empty() ? std::string() : monitors.front()->IEctl()->LocationName();
    }

    // Clicks the page's button, which opens a pop-up from the click.
    void ClickOpen() { driver->Click(openerSession, 100, 50); }

    // Whether the web server was asked for the pop-up's page.
    bool ServerSawPopupRequest() {
        return server->Requests().contains(QStringLiteral("GET /popup.html"));
    }

    test::TempEnvironment environment;
    std::unique_ptr<test::LocalWebServer> server;
    std::string bust;
    std::string profile;
    std::unique_ptr<test::HeadlessChromium> chromium;
    std::unique_ptr<browsers::devtools::DevToolsBrowserSource> source;
    os::fake::FakeEventPump eventPump;
    desktop::fake::FakeKeyState keys;
    desktop::fake::FakeSound sound;
    os::fake::FakeProcessInfo process{"/opt/orvelle", "orvelle"};
    popup::PopupKillerState state;
    popup::Events relay;
    RecordingListener listener;
    std::unique_ptr<popup::cIEWindows> windows;
    std::unique_ptr<test::DevToolsDriver> driver;
    QString openerSession;
};

}  // namespace

TEST_F(ChromiumPopupTest, ListsTheOpenPageWithItsTitleAndAddress) {
    ASSERT_EQ(windows->Count(), 1);
    const auto monitor = windows->IE(1);
    EXPECT_EQ(monitor->IEctl()->LocationName(), "Opener Page");
    EXPECT_EQ(monitor->IEctl()->LocationURL(), server->Url("opener.html?" + bust));
    EXPECT_GT(monitor->IEHandle(), 0);
    EXPECT_EQ(windows->IE(std::to_string(monitor->IEHandle())), monitor);
    EXPECT_FALSE(monitor->EnableBack());
    EXPECT_FALSE(monitor->EnableForward());
}

TEST_F(ChromiumPopupTest, BlocksAPopupFromAClickWhileTheKillerIsOnAndPlaysTheSoundOnce) {
    const int registeredBefore = listener.registered;
    ClickOpen();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !sound.played.empty(); }, kEventTimeoutMs))
        << "the pop-up was not noticed";
    QTest::qWait(kQuietPeriodMs);
    EXPECT_EQ(sound.played, std::vector<std::string>{"/sounds/blocked.wav"});
    EXPECT_EQ(windows->Count(), 1);
    EXPECT_EQ(listener.registered, registeredBefore) << "no window joined the list";
    EXPECT_EQ(driver->PageCount(), 1) << "the pop-up's page was closed";
    EXPECT_FALSE(ServerSawPopupRequest()) << "the blocked page loaded nothing";
    // The opener was not left hanging in its window.open: it still answers.
    EXPECT_EQ(driver->Evaluate(openerSession, QStringLiteral("String(window.clicks)")),
              QStringLiteral("1"));
    ClickOpen();
    ASSERT_TRUE(QTest::qWaitFor([&] { return sound.played.size() == 2; }, kEventTimeoutMs))
        << "a second pop-up of the same page is blocked as well";
    EXPECT_EQ(driver->Evaluate(openerSession, QStringLiteral("String(window.clicks)")),
              QStringLiteral("2"));
}

TEST_F(ChromiumPopupTest, LetsThePopupOpenWhenTheKillerIsOff) {
    state.SetActive(false);
    ClickOpen();
    ASSERT_TRUE(QTest::qWaitFor([&] { return windows->Count() == 2; }, kEventTimeoutMs))
        << "the pop-up did not join the list";
    EXPECT_TRUE(sound.played.empty());
    EXPECT_TRUE(QTest::qWaitFor([&] { return ServerSawPopupRequest(); }, kEventTimeoutMs));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return windows->IE(2)->IEctl()->LocationName() == "Popup Page"; }, kEventTimeoutMs));
}

TEST_F(ChromiumPopupTest, LetsThePopupOpenWhileCtrlIsHeld) {
    keys.keys[VK_CONTROL] = kKeyDownNow;
    ClickOpen();
    ASSERT_TRUE(QTest::qWaitFor([&] { return windows->Count() == 2; }, kEventTimeoutMs));
    EXPECT_TRUE(sound.played.empty());
    EXPECT_TRUE(QTest::qWaitFor([&] { return ServerSawPopupRequest(); }, kEventTimeoutMs));
}

TEST_F(ChromiumPopupTest, NoticesAWindowClosing) {
    state.SetActive(false);
    ClickOpen();
    ASSERT_TRUE(QTest::qWaitFor([&] { return windows->Count() == 2; }, kEventTimeoutMs));
    const auto popupWindow = windows->IE(2);
    const int revokedBefore = listener.revoked;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return !driver->PageWithTitle(QStringLiteral("Popup Page")).isEmpty(); },
        kEventTimeoutMs));
    driver->Call(
        QStringLiteral("Target.closeTarget"),
        {{QStringLiteral("targetId"), driver->PageWithTitle(QStringLiteral("Popup Page"))}});
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return listener.revoked == revokedBefore + 1; }, kEventTimeoutMs));
    EXPECT_EQ(windows->Count(), 1);
    EXPECT_EQ(windows->IE(1)->IEctl()->LocationName(), "Opener Page");
    EXPECT_THROW(static_cast<void>(windows->IE(std::to_string(popupWindow->IEHandle()))),
                 RuntimeError);
}

TEST_F(ChromiumPopupTest, ReportsANavigationAndItsLoadAndALinkCanBeCancelledByAListener) {
    const std::string second = server->Url("second.html");
    listener.cancelNavigationsTo = "second.html";
    driver->Evaluate(openerSession,
                     QStringLiteral("document.getElementById('next').click(), 'ok'"));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return std::find(listener.navigations.begin(), listener.navigations.end(), second) !=
                   listener.navigations.end();
        },
        kEventTimeoutMs))
        << "the navigation was not announced";
    QTest::qWait(kQuietPeriodMs / 2);
    EXPECT_EQ(driver->Evaluate(openerSession, QStringLiteral("document.title")),
              QStringLiteral("Opener Page"))
        << "the cancelled navigation left the page where it was";
    EXPECT_FALSE(server->Requests().contains(QStringLiteral("GET /second.html")));

    listener.cancelNavigationsTo.clear();
    const int loadsBefore = listener.downloadsCompleted;
    driver->Evaluate(openerSession,
                     QStringLiteral("document.getElementById('next').click(), 'ok'"));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return std::find(listener.documents.begin(), listener.documents.end(), second) !=
                   listener.documents.end();
        },
        kEventTimeoutMs))
        << "the loaded document was not reported";
    EXPECT_NE(std::find(listener.completed.begin(), listener.completed.end(), second),
              listener.completed.end());
    EXPECT_GT(listener.topLevelNavigations, 0);
    EXPECT_GT(listener.downloadsBegun, 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return listener.downloadsCompleted > loadsBefore; },
                                kEventTimeoutMs));
    EXPECT_TRUE(QTest::qWaitFor([&] { return windows->IE(1)->EnableBack(); }, kEventTimeoutMs))
        << "going back became possible";
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return windows->IE(1)->IEctl()->LocationName() == "Second Page"; }, kEventTimeoutMs));
    EXPECT_EQ(windows->IE(1)->IEctl()->LocationURL(), second);
}

TEST_F(ChromiumPopupTest, ANewMonitorReadsForwardHistoryWithoutMovingTheWindow) {
    const std::string second = server->Url("second.html");
    driver->Evaluate(openerSession,
                     QStringLiteral("document.getElementById('next').click(), 'ok'"));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return windows->IE(1)->IEctl()->LocationName() == "Second Page"; }, kEventTimeoutMs));
    driver->Evaluate(openerSession, QStringLiteral("history.back(), 'ok'"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return windows->IE(1)->EnableForward(); }, kEventTimeoutMs));

    // A registration rebuilds the collection: the opener gets a new monitor.
    const auto oldMonitor = windows->IE(1);
    state.SetActive(false);
    ClickOpen();
    ASSERT_TRUE(QTest::qWaitFor([&] { return windows->Count() == 2; }, kEventTimeoutMs));
    const auto newMonitor = windows->IE(1);
    ASSERT_NE(newMonitor, oldMonitor);
    EXPECT_TRUE(newMonitor->EnableForward());
    EXPECT_FALSE(newMonitor->EnableBack()) << "the opener's page is the first of its history";
    QTest::qWait(kQuietPeriodMs / 2);
    EXPECT_EQ(driver->Evaluate(openerSession, QStringLiteral("document.title")),
              QStringLiteral("Opener Page"))
        << "reading the history did not go forward";

    // Nothing was left behind that would cancel the user's next navigation.
    driver->Evaluate(openerSession, QStringLiteral("history.forward(), 'ok'"));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return windows->IE(1)->IEctl()->LocationName() == "Second Page"; }, kEventTimeoutMs))
        << "the user's forward navigation was cancelled";
}

TEST_F(ChromiumPopupTest, RelaysTheDocumentsMouseButtonsAtDocumentCoordinates) {
    keys.keys[VK_LBUTTON] = kKeyDownNow;
    driver->Click(openerSession, 300, 300);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !listener.mouseUps.empty(); }, kEventTimeoutMs));
    EXPECT_EQ(listener.mouseDowns, std::vector<std::int16_t>{1});
    EXPECT_EQ(listener.mouseUps, std::vector<std::int16_t>{1});

    // A cursor at the click's screen position is reported at the click's document
    // position (the first click told where the document area lies on the screen).
    const ScreenPoint origin = windows->IE(1)->IEctl()->ScreenToClient({0, 0});
    keys.cursor = {120 - origin.x, 240 - origin.y};
    keys.keys.erase(VK_LBUTTON);
    driver->Click(openerSession, 120, 240);
    ASSERT_TRUE(QTest::qWaitFor([&] { return listener.mouseUps.size() == 2; }, kEventTimeoutMs));
    EXPECT_EQ(listener.lastMouse, (ScreenPoint{120, 240}));
    EXPECT_EQ(listener.mouseDowns.back(), 2) << "the left button reads as up: the right one it was";
    EXPECT_EQ(listener.mouseUps.back(), 2);
}

TEST_F(ChromiumPopupTest, APageTheUserOpensIsAWindowNotAPopup) {
    driver->Call(
        QStringLiteral("Target.createTarget"),
        {{QStringLiteral("url"), QString::fromStdString(server->Url("second.html?" + bust))}});
    ASSERT_TRUE(QTest::qWaitFor([&] { return windows->Count() == 2; }, kEventTimeoutMs));
    EXPECT_TRUE(sound.played.empty());
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return windows->IE(2)->IEctl()->LocationName() == "Second Page"; }, kEventTimeoutMs));
}

TEST_F(ChromiumPopupTest, NoticesTheBrowserGoingAwayAndANewOneComing) {
    const int revokedBefore = listener.revoked;
    driver.reset();
    chromium.reset();
    ASSERT_TRUE(QTest::qWaitFor([&] { return windows->Count() == 0; }, kEventTimeoutMs));
    EXPECT_EQ(listener.revoked, revokedBefore + 1);

    // The same profile started again is found by the next look at its folder.
    chromium =
        std::make_unique<test::HeadlessChromium>(profile, server->Url("second.html?" + bust));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return windows->Count() == 1 && TitleOfFirst() == "Second Page"; }, kEventTimeoutMs));
}

// Every page load of a watched browser waits for the watcher's go-ahead: a watcher
// that ends (or crashes) must not leave the browser stuck.
TEST_F(ChromiumPopupTest, AHeldPageLoadGoesOnWhenItsWatcherGoesAway) {
    auto other = std::make_unique<test::DevToolsDriver>(chromium->EndpointUrl());
    other->Call(
        QStringLiteral("Fetch.enable"),
        {{QStringLiteral("patterns"),
          QJsonArray{QJsonObject{{QStringLiteral("urlPattern"), QStringLiteral("*")},
                                 {QStringLiteral("resourceType"), QStringLiteral("Document")}}}}});
    driver->Evaluate(openerSession,
                     QStringLiteral("document.getElementById('next').click(), 'ok'"));
    QTest::qWait(1500);
    EXPECT_FALSE(server->Requests().contains(QStringLiteral("GET /second.html")))
        << "the load waits for an answer that does not come";
    other.reset();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return server->Requests().contains(QStringLiteral("GET /second.html")); },
        kEventTimeoutMs));
}
