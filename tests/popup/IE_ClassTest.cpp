// The window monitor: the pop-up rule, mouse buttons and keys, back/forward state.

#include "FakeBrowser.h"
#include "FakeDesktop.h"
#include "FakeOs.h"
#include "FakeStore.h"
#include "cIEWindows.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

using namespace orvelle;
using namespace orvelle::os;
using namespace orvelle::desktop;
using namespace orvelle::browsers;

namespace {

struct MouseEvent {
    std::int16_t button;
    std::int16_t shift;
    float x;
    float y;

    friend bool operator==(const MouseEvent&, const MouseEvent&) = default;
};

class MouseLog final : public popup::cIEWindowsEvents {
public:
    void IEMouseDown(std::int32_t, std::int16_t button, std::int16_t shift, float x,
                     float y) override {
        downs.push_back({button, shift, x, y});
    }
    void IEMouseUp(std::int32_t, std::int16_t button, std::int16_t shift, float x,
                   float y) override {
        ups.push_back({button, shift, x, y});
    }
    void IECommandStateChange(std::int32_t, std::int32_t command, bool enable) override {
        commands.emplace_back(command, enable);
    }
    void IEOnContextMenu(std::int32_t) override { ++contextMenus; }
    std::vector<MouseEvent> downs;
    std::vector<MouseEvent> ups;
    std::vector<std::pair<std::int32_t, bool>> commands;
    int contextMenus = 0;
};

class IE_ClassTest : public ::testing::Test {
protected:
    // One tracked window (handle 500) and its monitor.
    void Track(std::optional<NavigationHistory> history = NavigationHistory{}) {
        window = std::make_shared<browsers::fake::FakeBrowserWindow>(500, "Page", "http://page/");
        window->history = history;
        source.windows.push_back(window);
        windows = std::make_unique<popup::cIEWindows>(
            popup::TrackingServices{source, eventPump, keys, sound, process, state, relay});
        windows->AddListener(&log);
    }
    std::shared_ptr<popup::IE_Class> Monitor() { return windows->IE(1); }

    browsers::fake::FakeBrowserSource source;
    os::fake::FakeEventPump eventPump;
    desktop::fake::FakeKeyState keys;
    desktop::fake::FakeSound sound;
    os::fake::FakeProcessInfo process{"/opt/orvelle", "orvelle"};
    popup::PopupKillerState state;
    popup::Events relay;
    MouseLog log;
    std::shared_ptr<browsers::fake::FakeBrowserWindow> window;
    std::unique_ptr<popup::cIEWindows> windows;
};

}  // namespace

TEST_F(IE_ClassTest, ThePopupRule) {
    struct Row {
        const char* what;
        bool killerOn;
        std::uint16_t ctrl;
        std::string soundPath;
        bool cancelled;
        std::vector<std::string> played;
        std::string soundPathAfter;
    };
    const Row rows[] = {
        {"killer on, no key: blocked with the sound",
         true,
         0,
         "/snd/pop.wav",
         true,
         {"/snd/pop.wav"},
         "/snd/pop.wav"},
        {"Ctrl held now: the window opens",
         true,
         kKeyDownNow,
         "/snd/pop.wav",
         false,
         {},
         "/snd/pop.wav"},
        {"Ctrl pressed since the last query: opens",
         true,
         kKeyPressedSinceLastQuery,
         "/snd/pop.wav",
         false,
         {},
         "/snd/pop.wav"},
        {"Ctrl held and pressed: opens",
         true,
         kKeyDownNow | kKeyPressedSinceLastQuery,
         "/snd/pop.wav",
         false,
         {},
         "/snd/pop.wav"},
        {"killer off: opens, silently", false, 0, "/snd/pop.wav", false, {}, "/snd/pop.wav"},
        {"empty sound path: the program's ding is played and kept",
         true,
         0,
         "",
         true,
         {"/opt/orvelle/ding.wav"},
         "/opt/orvelle/ding.wav"},
        {"empty sound path with the killer off: the default is taken all the same",
         false,
         0,
         "",
         false,
         {},
         "/opt/orvelle/ding.wav"},
        {"empty sound path with Ctrl held: the default is taken first",
         true,
         kKeyDownNow,
         "",
         false,
         {},
         "/opt/orvelle/ding.wav"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Track();
        state.SetActive(row.killerOn);
        state.SetSoundPath(row.soundPath);
        keys.keys[VK_CONTROL] = row.ctrl;
        sound.played.clear();
        EXPECT_EQ(window->FireNewWindow2(), row.cancelled);
        EXPECT_EQ(sound.played, row.played);
        EXPECT_EQ(state.SoundPath(), row.soundPathAfter);
        source.windows.clear();
    }
}

TEST_F(IE_ClassTest, ShiftCtrlAndAltDoNotKeepTheKillerFromBlockingButCtrlDoes) {
    Track();
    state.SetActive(true);
    state.SetSoundPath("/snd/pop.wav");
    for (const int key : {VK_SHIFT, VK_MENU, VK_LBUTTON}) {
        keys.keys = {{key, kKeyDownNow}};
        EXPECT_TRUE(window->FireNewWindow2()) << "key " << key;
    }
    EXPECT_EQ(sound.played.size(), 3U) << "one sound per blocked window";
}

TEST_F(IE_ClassTest, MouseDownButtonAndShiftFollowTheKeysHeld) {
    struct Row {
        const char* what;
        std::uint16_t left, shift, ctrl, alt;
        std::int16_t button, shiftValue;
    };
    constexpr std::uint16_t kDown = kKeyDownNow;
    constexpr std::uint16_t kPressed = kKeyPressedSinceLastQuery;
    const Row rows[] = {
        {"left button down", kDown, 0, 0, 0, 1, 0},
        {"left button up: taken as the right one", 0, 0, 0, 0, 2, 0},
        {"left only pressed since the last query counts as up", kPressed, 0, 0, 0, 2, 0},
        {"Shift", kDown, kDown, 0, 0, 1, 1},
        {"Ctrl", kDown, 0, kDown, 0, 1, 2},
        {"Alt", kDown, 0, 0, kDown, 1, 4},
        {"Shift and Alt: Alt wins", kDown, kDown, 0, kDown, 1, 4},
        {"Shift and Ctrl: Ctrl wins", kDown, kDown, kDown, 0, 1, 2},
        {"all three: Alt wins", 0, kDown, kDown, kDown, 2, 4},
        {"Shift pressed since the last query counts", kDown, kPressed, 0, 0, 1, 1},
    };
    Track();
    for (const auto& row : rows) {
        keys.keys = {{VK_LBUTTON, row.left},
                     {VK_SHIFT, row.shift},
                     {VK_CONTROL, row.ctrl},
                     {VK_MENU, row.alt}};
        log.downs.clear();
        window->FireMouseDown();
        ASSERT_EQ(log.downs.size(), 1U) << row.what;
        EXPECT_EQ(log.downs[0].button, row.button) << row.what;
        EXPECT_EQ(log.downs[0].shift, row.shiftValue) << row.what;
        window->FireMouseUp();  // ends the press
    }
}

TEST_F(IE_ClassTest, MouseUpReportsTheButtonItsMouseDownTook) {
    Track();
    struct Row {
        const char* what;
        std::vector<std::uint16_t> downs;  // left-button state at each mouse-down; empty: none
        std::uint16_t leftAtUp;
        std::vector<std::int16_t> ups;
    };
    const Row rows[] = {
        {"after a right-button down", {0}, 0, {2}},
        {"after a right-button down, even with the left held at the up", {0}, kKeyDownNow, {2}},
        {"after a left-button down", {kKeyDownNow}, 0, {1}},
        {"with no down before it", {}, kKeyDownNow, {2}},
    };
    for (const auto& row : rows) {
        for (const std::uint16_t left : row.downs) {
            keys.keys[VK_LBUTTON] = left;
            window->FireMouseDown();
        }
        keys.keys[VK_LBUTTON] = row.leftAtUp;
        log.ups.clear();
        window->FireMouseUp();
        ASSERT_EQ(log.ups.size(), row.ups.size()) << row.what;
        EXPECT_EQ(log.ups[0].button, row.ups[0]) << row.what;
    }
    // A left press is consumed by its mouse-up: the next lone up is the right button's.
    keys.keys[VK_LBUTTON] = kKeyDownNow;
    window->FireMouseDown();
    window->FireMouseUp();
    window->FireMouseUp();
    EXPECT_EQ(log.ups.back().button, 2);
}

TEST_F(IE_ClassTest, MousePositionsAreTheCursorInTheWindowsDocumentCoordinates) {
    Track();
    window->clientOrigin = {200, 120};
    keys.cursor = {260, 170};
    keys.keys[VK_SHIFT] = kKeyDownNow;
    window->FireMouseDown();
    window->FireMouseUp();
    EXPECT_EQ(log.downs, (std::vector<MouseEvent>{{2, 1, 60.0F, 50.0F}}));
    EXPECT_EQ(log.ups, (std::vector<MouseEvent>{{2, 1, 60.0F, 50.0F}}));
}

TEST_F(IE_ClassTest, AWindowWithoutAnHtmlDocumentReportsNoDocumentEvents) {
    window = std::make_shared<browsers::fake::FakeBrowserWindow>(600, "A PDF", "file:///x.pdf");
    window->hasDocument = false;
    source.windows.push_back(window);
    windows = std::make_unique<popup::cIEWindows>(
        popup::TrackingServices{source, eventPump, keys, sound, process, state, relay});
    windows->AddListener(&log);
    window->FireMouseDown();
    window->FireMouseUp();
    EXPECT_TRUE(window->FireContextMenu());
    EXPECT_TRUE(log.downs.empty());
    EXPECT_TRUE(log.ups.empty());
    EXPECT_EQ(log.contextMenus, 0);
    state.SetActive(true);
    EXPECT_TRUE(window->FireNewWindow2()) << "its pop-ups are blocked all the same";
}

TEST_F(IE_ClassTest, CommandStatesKeepBackAndForward) {
    Track();
    const auto monitor = Monitor();
    window->FireCommandStateChange(CSC_NAVIGATEFORWARD, true);
    EXPECT_TRUE(monitor->EnableForward());
    EXPECT_FALSE(monitor->EnableBack());
    window->FireCommandStateChange(CSC_NAVIGATEBACK, true);
    EXPECT_TRUE(monitor->EnableBack());
    window->FireCommandStateChange(CSC_UPDATECOMMANDS, false);
    window->FireCommandStateChange(3, false);
    EXPECT_TRUE(monitor->EnableForward()) << "other commands change nothing";
    EXPECT_TRUE(monitor->EnableBack());
    window->FireCommandStateChange(CSC_NAVIGATEFORWARD, false);
    EXPECT_FALSE(monitor->EnableForward());
    EXPECT_EQ(log.commands.size(), 5U) << "every command state is relayed";
}

TEST_F(IE_ClassTest, ABrowserThatTellsItsHistoryIsReadNotProbed) {
    Track(NavigationHistory{true, true});
    const auto monitor = Monitor();
    EXPECT_TRUE(monitor->EnableForward());
    EXPECT_TRUE(monitor->EnableBack());
    EXPECT_EQ(window->goForwardCalls, 0) << "the window stays on its page";
    EXPECT_EQ(window->stopDownloadCalls, 0);
    // Nothing is left behind that would cancel the next navigation or context menu.
    EXPECT_FALSE(window->FireBeforeNavigate2("http://next/"));
    EXPECT_TRUE(window->FireContextMenu());
}

TEST_F(IE_ClassTest, TheForwardProbeOfABrowserThatCannotTell) {
    struct Row {
        const char* what;
        bool forwardHistory;
        int stops;
        bool firstNavigationCancelled;
    };
    const Row rows[] = {
        {"no forward history: the probe fails, nothing is cancelled", false, 0, false},
        {"forward history: the probe's navigation is stopped and cancelled where it shows", true, 1,
         true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        auto other =
            std::make_shared<browsers::fake::FakeBrowserWindow>(700, "Other", "http://other/");
        auto probed =
            std::make_shared<browsers::fake::FakeBrowserWindow>(701, "Probed", "http://probed/");
        probed->history = std::nullopt;
        probed->forwardHistory = row.forwardHistory;
        source.windows = {other, probed};
        windows = std::make_unique<popup::cIEWindows>(
            popup::TrackingServices{source, eventPump, keys, sound, process, state, relay});
        const auto monitor = windows->IE("701");
        EXPECT_EQ(probed->goForwardCalls, 1);
        EXPECT_EQ(probed->stopDownloadCalls, row.stops);
        EXPECT_FALSE(monitor->EnableForward()) << "later command states tell";
        // The flag is shared: the next navigation of any window consumes it, once.
        EXPECT_EQ(other->FireBeforeNavigate2("http://next/"), row.firstNavigationCancelled);
        EXPECT_FALSE(other->FireBeforeNavigate2("http://user/"));
    }
}

TEST_F(IE_ClassTest, APendingProbeSuppressesOneContextMenuInsteadOfANavigation) {
    Track();
    auto probed =
        std::make_shared<browsers::fake::FakeBrowserWindow>(701, "Probed", "http://probed/");
    probed->history = std::nullopt;
    probed->forwardHistory = true;
    source.windows.push_back(probed);
    source.Revoke(9999);  // no such window: the list is rebuilt and the new one probed
    EXPECT_FALSE(window->FireContextMenu()) << "the first menu after the probe is suppressed";
    EXPECT_EQ(log.contextMenus, 1) << "and still relayed";
    EXPECT_TRUE(window->FireContextMenu());
    EXPECT_FALSE(window->FireBeforeNavigate2("http://user/")) << "the flag was consumed";
}
