// The window collection, the window monitor and the relay over a fake window source.

#include "FakeBrowser.h"
#include "FakeDesktop.h"
#include "FakeOs.h"
#include "FakeStore.h"
#include "PopupKillerState.h"
#include "WavPathFile.h"
#include "WindowLog.h"
#include "cIEWindows.h"
#include "os/RuntimeError.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

using namespace orvelle;
using namespace orvelle::os;
using namespace orvelle::desktop;
using namespace orvelle::browsers;
using popup::cIEWindows;
using popup::IE_Class;

namespace {

// Writes every event of the collection as one line, so that a test compares texts.
class EventLog final : public popup::cIEWindowsEvents {
public:
    void IEWindowRegistered() override { Add("IEWindowRegistered"); }
    void IEWindowRevoked() override { Add("IEWindowRevoked"); }
    void IENavigationBegin(std::int32_t hwnd, const BrowserDispatch& pDisp, const std::string& url,
                           std::int32_t flags, const std::string& targetFrameName,
                           const std::string& postData, const std::string& headers,
                           bool& cancel) override {
        std::ostringstream line;
        line << "IENavigationBegin " << hwnd << " " << Frame(pDisp) << " " << url << " " << flags
             << " [" << targetFrameName << "|" << postData << "|" << headers << "] " << cancel;
        Add(line.str());
        cancel = cancel || cancelNavigations;
    }
    void IENavigationComplete(std::int32_t hwnd, const BrowserDispatch& pDisp,
                              const std::string& url) override {
        Add("IENavigationComplete " + std::to_string(hwnd) + " " + Frame(pDisp) + " " + url);
    }
    void IEDocumentComplete(std::int32_t hwnd, const BrowserDispatch& pDisp,
                            const std::string& url) override {
        Add("IEDocumentComplete " + std::to_string(hwnd) + " " + Frame(pDisp) + " " + url);
    }
    void IEDownloadBegin(std::int32_t hwnd) override {
        Add("IEDownloadBegin " + std::to_string(hwnd));
    }
    void IEDownloadComplete(std::int32_t hwnd) override {
        Add("IEDownloadComplete " + std::to_string(hwnd));
    }
    void IEOnContextMenu(std::int32_t hwnd) override {
        Add("IEOnContextMenu " + std::to_string(hwnd));
    }
    void IEMouseDown(std::int32_t hwnd, std::int16_t button, std::int16_t shift, float x,
                     float y) override {
        Add(Mouse("IEMouseDown", hwnd, button, shift, x, y));
    }
    void IEMouseUp(std::int32_t hwnd, std::int16_t button, std::int16_t shift, float x,
                   float y) override {
        Add(Mouse("IEMouseUp", hwnd, button, shift, x, y));
    }
    void IECommandStateChange(std::int32_t hwnd, std::int32_t command, bool enable) override {
        Add("IECommandStateChange " + std::to_string(hwnd) + " " + std::to_string(command) + " " +
            (enable ? "true" : "false"));
    }

    std::vector<std::string> lines;
    bool cancelNavigations = false;
    std::function<void(const std::string&)> onEvent;

private:
    static std::string Frame(const BrowserDispatch& pDisp) {
        return pDisp.window != nullptr ? "top" : "frame:" + pDisp.frameId;
    }
    static std::string Mouse(const char* name, std::int32_t hwnd, std::int16_t button,
                             std::int16_t shift, float x, float y) {
        std::ostringstream line;
        line << name << " " << hwnd << " button=" << button << " shift=" << shift << " at " << x
             << "," << y;
        return line.str();
    }
    void Add(const std::string& line) {
        lines.push_back(line);
        if (onEvent) {
            onEvent(line);
        }
    }
};

class PopupLogicTest : public ::testing::Test {
protected:
    std::unique_ptr<cIEWindows> Track() {
        auto windows = std::make_unique<cIEWindows>(
            popup::TrackingServices{source, eventPump, keys, sound, process, state, relay});
        windows->AddListener(&log);
        return windows;
    }

    // Adds a window without notifying, as if it was open before tracking started.
    std::shared_ptr<browsers::fake::FakeBrowserWindow> Open(std::int32_t hwnd,
                                                            const std::string& title) {
        auto window = std::make_shared<browsers::fake::FakeBrowserWindow>(hwnd, title,
                                                                          "http://" + title + "/");
        source.windows.push_back(window);
        return window;
    }

    browsers::fake::FakeBrowserSource source;
    os::fake::FakeEventPump eventPump;
    desktop::fake::FakeKeyState keys;
    desktop::fake::FakeSound sound;
    os::fake::FakeProcessInfo process{"/opt/orvelle", "orvelle"};
    popup::PopupKillerState state;
    popup::Events relay;
    EventLog log;
};

std::vector<IE_Class*> Monitors(const cIEWindows& windows) {
    std::vector<IE_Class*> monitors;
    for (const auto& monitor : windows.NewEnum()) {
        monitors.push_back(monitor.get());
    }
    return monitors;
}

std::vector<std::int32_t> Handles(const cIEWindows& windows) {
    std::vector<std::int32_t> handles;
    for (const auto& monitor : windows.NewEnum()) {
        handles.push_back(monitor->IEHandle());
    }
    return handles;
}

}  // namespace

// ---------------------------------------------------------------------------
// The collection

TEST_F(PopupLogicTest, WithNoWindowOpenTheCollectionIsEmptyAndSilent) {
    auto windows = Track();
    EXPECT_EQ(windows->Count(), 0);
    EXPECT_TRUE(windows->NewEnum().empty());
    EXPECT_TRUE(log.lines.empty());
    EXPECT_FALSE(windows->Busy());
    EXPECT_THROW(static_cast<void>(windows->IE(1)), RuntimeError);
}

TEST_F(PopupLogicTest, ARegistrationRebuildsEveryMonitorInSourceOrderThenRaisesOnce) {
    Open(300, "c");
    Open(100, "a");
    auto windows = Track();
    ASSERT_EQ(Handles(*windows), (std::vector<std::int32_t>{300, 100}));
    // Held, so that no new monitor can take an old one's address.
    const auto before = windows->NewEnum();
    std::vector<std::int32_t> countsWhenRaised;
    log.onEvent = [&](const std::string&) { countsWhenRaised.push_back(windows->Count()); };

    source.Register(200, "b", "http://b/");

    EXPECT_EQ(Handles(*windows), (std::vector<std::int32_t>{300, 100, 200}));
    for (IE_Class* monitor : Monitors(*windows)) {
        for (const auto& old : before) {
            EXPECT_NE(monitor, old.get()) << "every monitor is a new object";
        }
    }
    EXPECT_EQ(log.lines, std::vector<std::string>{"IEWindowRegistered"});
    EXPECT_EQ(countsWhenRaised, std::vector<std::int32_t>{3}) << "raised after the rebuild";
    EXPECT_EQ(source.listCalls, 2);
}

TEST_F(PopupLogicTest, ARevocationRebuildsAndRaisesRevoked) {
    Open(1, "a");
    Open(2, "b");
    auto windows = Track();
    source.Revoke(1);
    EXPECT_EQ(Handles(*windows), std::vector<std::int32_t>{2});
    EXPECT_EQ(log.lines, std::vector<std::string>{"IEWindowRevoked"});
}

TEST_F(PopupLogicTest, OldMonitorsLetGoOfTheirWindowsAndTheNewOnesTakeOver) {
    auto window = Open(7, "a");
    auto windows = Track();
    ASSERT_EQ(window->receivers.Size(), 1U);
    source.Register(8, "b", "http://b/");
    EXPECT_EQ(window->receivers.Size(), 1U) << "one monitor per window after a rebuild";
    windows.reset();
    EXPECT_EQ(window->receivers.Size(), 0U) << "destroying the collection disconnects";
    EXPECT_TRUE(source.receivers.empty()) << "and stops listening to the source";
}

TEST_F(PopupLogicTest, ANewCollectionStaysConnectedWhenItsPredecessorGoes) {
    Open(1, "a");
    auto first = Track();
    auto second = std::make_unique<cIEWindows>(
        popup::TrackingServices{source, eventPump, keys, sound, process, state, relay});
    first.reset();
    source.Register(2, "b", "http://b/");
    EXPECT_EQ(second->Count(), 2) << "the source still tells the collection that remains";
}

TEST_F(PopupLogicTest, IEFindsAMonitorByKeyAndByPosition) {
    Open(5000, "first");
    Open(42, "second");
    auto windows = Track();
    EXPECT_EQ(windows->IE(1)->IEHandle(), 5000) << "position 1 is the first in source order";
    EXPECT_EQ(windows->IE(2)->IEHandle(), 42);
    EXPECT_EQ(windows->IE("42"), windows->IE(2));
    EXPECT_EQ(windows->IE(std::string("5000"))->IEctl()->LocationName(), "first");

    struct Missing {
        std::function<void()> read;
        std::int32_t number;
    };
    const Missing missing[] = {
        {[&] { static_cast<void>(windows->IE(0)); }, errors::kSubscriptOutOfRange},
        {[&] { static_cast<void>(windows->IE(3)); }, errors::kSubscriptOutOfRange},
        {[&] { static_cast<void>(windows->IE(-1)); }, errors::kSubscriptOutOfRange},
        {[&] { static_cast<void>(windows->IE("43")); }, errors::kInvalidProcedureCall},
        {[&] { static_cast<void>(windows->IE("5000K")); }, errors::kInvalidProcedureCall},
        {[&] { static_cast<void>(windows->IE("")); }, errors::kInvalidProcedureCall},
    };
    for (const auto& row : missing) {
        try {
            row.read();
            ADD_FAILURE() << "a missing item is an error to the caller";
        } catch (const RuntimeError& error) {
            EXPECT_EQ(error.Number(), row.number);
        }
    }
}

TEST_F(PopupLogicTest, ASecondWindowWithAUsedHandleIsDroppedAndDisconnected) {
    auto first = Open(9, "first");
    auto twin = Open(9, "twin");
    Open(10, "other");
    auto windows = Track();
    EXPECT_EQ(Handles(*windows), (std::vector<std::int32_t>{9, 10}));
    EXPECT_EQ(windows->IE("9")->IEctl(), first);
    EXPECT_EQ(twin->receivers.Size(), 0U) << "the dropped monitor let go of its window";
    EXPECT_EQ(first->receivers.Size(), 1U);
}

TEST_F(PopupLogicTest, WindowsThatCannotBeTurnedIntoMonitorsAreLeftOut) {
    auto broken = Open(11, "broken");
    broken->failHwnd = true;
    auto blank = Open(0, "no handle");
    Open(12, "fine");
    auto windows = Track();
    EXPECT_EQ(Handles(*windows), std::vector<std::int32_t>{12});
    EXPECT_EQ(broken->receivers.Size(), 0U);
    EXPECT_EQ(blank->receivers.Size(), 0U);
}

TEST_F(PopupLogicTest, IEWaitsOutARebuildProcessingEventsMeanwhile) {
    Open(1, "a");
    auto windows = Track();
    // A reader that runs while a rebuild lists the windows finds the collection busy
    // and processes events until a rebuild has finished: here the events bring a
    // second registration, whose rebuild clears the flag.
    bool sawBusy = false;
    std::shared_ptr<IE_Class> found;
    source.onList = [&] {
        source.onList = nullptr;
        sawBusy = windows->Busy();
        found = windows->IE(1);
    };
    eventPump.onDoEvents = [&] {
        if (eventPump.calls == 1) {
            source.Register(2, "b", "http://b/");
        }
    };
    source.Register(3, "c", "http://c/");

    EXPECT_TRUE(sawBusy);
    EXPECT_EQ(eventPump.calls, 1) << "events were processed until the flag cleared";
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->IEHandle(), 1);
    EXPECT_FALSE(windows->Busy());
    EXPECT_EQ(Handles(*windows), (std::vector<std::int32_t>{1, 3, 2}));
    EXPECT_EQ(log.lines, (std::vector<std::string>{"IEWindowRegistered", "IEWindowRegistered"}));
}

TEST_F(PopupLogicTest, CountAndIterationDoNotWait) {
    Open(1, "a");
    auto windows = Track();
    std::int32_t countDuringRebuild = -1;
    source.onList = [&] {
        source.onList = nullptr;
        countDuringRebuild = windows->Count();
        EXPECT_TRUE(windows->NewEnum().empty()) << "the old monitors are gone, no new one yet";
    };
    source.Register(2, "b", "http://b/");
    EXPECT_EQ(countDuringRebuild, 0);
    EXPECT_EQ(eventPump.calls, 0);
}

TEST_F(PopupLogicTest, TheCollectionRelaysEveryWindowEventWithItsParameters) {
    auto window = Open(77, "page");
    window->clientOrigin = {100, 50};
    keys.cursor = {130, 75};
    auto windows = Track();
    struct Row {
        const char* what;
        std::function<void()> fire;
        std::vector<std::string> expected;
    };
    const Row rows[] = {
        {"a navigation",
         [&] { window->FireBeforeNavigate2("http://next/"); },
         {"IENavigationBegin 77 top http://next/ 0 [||] 0"}},
        {"a frame's navigation",
         [&] { window->FireBeforeNavigate2("http://ad/", false); },
         {"IENavigationBegin 77 frame:frame-1 http://ad/ 0 [||] 0"}},
        {"a committed navigation",
         [&] { window->FireNavigateComplete2("http://next/"); },
         {"IENavigationComplete 77 top http://next/"}},
        {"a frame's committed navigation",
         [&] { window->FireNavigateComplete2("http://ad/", false); },
         {"IENavigationComplete 77 frame:frame-1 http://ad/"}},
        {"a loaded document",
         [&] { window->FireDocumentComplete("http://next/"); },
         {"IEDocumentComplete 77 top http://next/"}},
        {"a frame's document is not relayed",
         [&] { window->FireDocumentComplete("http://ad/", false); },
         {}},
        {"loading starts", [&] { window->FireDownloadBegin(); }, {"IEDownloadBegin 77"}},
        {"loading ends", [&] { window->FireDownloadComplete(); }, {"IEDownloadComplete 77"}},
        {"a context menu", [&] { window->FireContextMenu(); }, {"IEOnContextMenu 77"}},
        {"a mouse button down",
         [&] { window->FireMouseDown(); },
         {"IEMouseDown 77 button=2 shift=0 at 30,25"}},
        {"a mouse button up",
         [&] { window->FireMouseUp(); },
         {"IEMouseUp 77 button=2 shift=0 at 30,25"}},
        {"a command state",
         [&] { window->FireCommandStateChange(CSC_NAVIGATEBACK, true); },
         {"IECommandStateChange 77 2 true"}},
        {"an unknown command",
         [&] { window->FireCommandStateChange(-1, false); },
         {"IECommandStateChange 77 -1 false"}},
        {"a new window is not an event of the collection", [&] { window->FireNewWindow2(); }, {}},
    };
    for (const auto& row : rows) {
        log.lines.clear();
        row.fire();
        EXPECT_EQ(log.lines, row.expected) << row.what;
    }
}

TEST_F(PopupLogicTest, AListenerCancelsANavigationThroughTheRelay) {
    auto window = Open(3, "page");
    auto windows = Track();
    EXPECT_FALSE(window->FireBeforeNavigate2("http://allowed/"));
    log.cancelNavigations = true;
    EXPECT_TRUE(window->FireBeforeNavigate2("http://refused/")) << "Cancel goes back by reference";
}

TEST_F(PopupLogicTest, TheRelayRaisesNothingForUnknownCodesOrWrongArguments) {
    popup::Events detached;
    detached.RelayIEEvent(popup::relayDownloadBegin, 3, {});  // no collection: nothing happens

    auto windows = Track();
    std::int16_t button = 1;
    std::int16_t shift = 4;
    float x = 2.5F;
    float y = 0;
    std::int32_t command = 1;
    bool enable = true;
    const std::string url = "http://x/";
    struct Row {
        const char* what;
        std::int32_t code;
        popup::RelayArguments arguments;
    };
    const Row rows[] = {
        {"code 0", 0, {}},
        {"code 10", 10, {&button}},
        {"a negative code", -3, {}},
        {"one argument short", popup::relayMouseDown, {&button, &shift, &x}},
        {"one of the wrong type", popup::relayMouseDown, {&button, &shift, &x, &command}},
        {"arguments swapped", popup::relayCommandStateChange, {&enable, &command}},
        {"pDisp missing", popup::relayNavigateComplete2, {&url}},
        {"an argument too many", popup::relayDownloadBegin, {&button}},
    };
    for (const auto& row : rows) {
        relay.RelayIEEvent(row.code, 4, row.arguments);
        EXPECT_TRUE(log.lines.empty()) << row.what;
    }
    relay.RelayIEEvent(popup::relayMouseDown, 4, {&button, &shift, &x, &y});
    EXPECT_EQ(log.lines, std::vector<std::string>{"IEMouseDown 4 button=1 shift=4 at 2.5,0"});

    windows.reset();
    log.lines.clear();
    relay.RelayIEEvent(popup::relayMouseDown, 4, {&button, &shift, &x, &y});
    EXPECT_TRUE(log.lines.empty()) << "a collection that is gone is not reached";
}
