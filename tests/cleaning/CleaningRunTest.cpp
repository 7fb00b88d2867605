#include "CleaningLog.h"
#include "CleaningOptions.h"
#include "CleaningRun.h"
#include "CleaningTestSupport.h"
#include "FakeCleaningLock.h"
#include "FakeDesktop.h"
#include "FakeOs.h"
#include "FakeStore.h"
#include "FakeTraceCatalog.h"
#include "RegistryLayer.h"
#include "RegistrySettingsStore.h"
#include "SqliteRegistry.h"
#include "ThrottledEventPump.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace orvelle;
using namespace orvelle::cleaning;
using namespace orvelle::cleaning::test;
using testing::ElementsAre;
using testing::IsEmpty;

namespace {

class CleaningRunTest : public ::testing::Test {
protected:
    CleaningRunTest() {
        clock.now.hour = 9;
        clock.now.minute = 5;
        clock.now.second = 7;
    }

    void Check(std::initializer_list<int> indexes, int value = 1) {
        for (const int index : indexes) {
            ASSERT_TRUE(options.SetValue(index, value));
        }
    }

    store::SqliteRegistry registry{":memory:"};
    store::RegistrySettingsStore settings{registry};
    desktop::fake::FakeMessageBox messageBox;
    shell::RegistryLayer layer{registry, messageBox};
    traces::fake::FakeTraceCatalog catalog;
    CleaningOptions options{settings, messageBox, layer, "/opt/orvelle", catalog};
    RecordingSteps steps;
    FakeHost host;
    MemoryLogSink sink;
    CleaningLog log{sink};
    os::fake::FakeClock clock;
    os::fake::FakeEventPump eventPump;
    os::fake::FakeCleaningLock lock;
    CleaningRun run{options, steps, host, log, clock, eventPump, messageBox, lock};
};

TEST_F(CleaningRunTest, EveryCheckedOptionRunsItsStepInIndexOrderWithItsMessage) {
    for (int index = 0; index < CleaningOptions::kCount; ++index) {
        options.SetValue(index, 1);
    }
    run.cmdBasicClean_Click();
    EXPECT_THAT(steps.calls,
                ElementsAre("EraseTypedURLs: Erasing 'Auto Complete' Site Addresses",
                            "EraseRecentFiles: Erasing Recent Files",
                            "EraseMyDocuments: Erasing My Documents Files",
                            "EmptyRecycleBin: Erasing Contents of Recycle Bin",
                            "EraseInternetCache: Erasing Internet Cashe",
                            "EraseCookies: Erasing Browser Cookies",
                            "EraseFavorites: Erasing Browser Favorites",
                            "EraseInternetHistory: Erasing Internet History",
                            "EraseWindowsTemp: Erasing Windows Temporary Files", "ClearClipboard",
                            "EraseRunHistory: Erasing Windows Start Run History",
                            "DisableScriptDebugger", "DisableScriptDebuggerX"));
    EXPECT_EQ(eventPump.calls, 16) << "a yield after every option, checked or not";
    EXPECT_GE(sink.repaints, 16);
}

TEST_F(CleaningRunTest, ARunWithNothingToDoStillStampsClearsAndEndsWithDoneInBlack) {
    sink.SetText("\r\nold entries of the last run", kLogGreen);
    // Options 0, 1 and 10 only carry a state; a grayed box is not a checked one.
    for (int index = 0; index < CleaningOptions::kCount; ++index) {
        options.SetValue(index, 2);
    }
    Check({0, 1, 10});
    run.cmdBasicClean_Click();
    EXPECT_THAT(steps.calls, IsEmpty());
    EXPECT_THAT(sink.Runs(), ElementsAre(LogRun{kLogBlack, "\r\nDone"}));
    EXPECT_EQ(host.lastRunTime, "09:05:07");
    EXPECT_EQ(host.shown, 1);
    EXPECT_EQ(host.status, "Ready");
    EXPECT_EQ(host.scheduleTimer, false);
    EXPECT_EQ(host.enableTimer, true);
    EXPECT_TRUE(messageBox.shown.empty());
}

TEST_F(CleaningRunTest, WhileTheScheduleHasUnappliedEditsTheRunLeavesEverythingAsItWas) {
    Check({2, 3, 9});
    sink.SetText("\r\nkept", kLogBlue);
    host.pending = true;
    run.cmdBasicClean_Click();
    EXPECT_THAT(steps.calls, IsEmpty());
    EXPECT_EQ(sink.text, "\r\nkept");
    EXPECT_EQ(sink.clears, 0);
    EXPECT_EQ(host.lastRunTime, "(before)");
    EXPECT_EQ(host.shown, 0);
    EXPECT_FALSE(host.scheduleTimer.has_value());
    EXPECT_FALSE(host.enableTimer.has_value());
    EXPECT_EQ(host.status, "(before)");
    EXPECT_FALSE(run.IsRunning()) << "a refused run does not block the next one";
    host.pending = false;
    run.cmdBasicClean_Click();
    EXPECT_EQ(steps.calls.size(), 3U);
}

TEST_F(CleaningRunTest, WhileAnotherProgramCleansTheRunIsRefusedAndTheStatusSaysWho) {
    Check({2, 3});
    sink.SetText("\r\nkept", kLogBlue);
    lock.holder = "process 77 (orvelle-clean)";
    run.cmdBasicClean_Click();
    EXPECT_THAT(steps.calls, IsEmpty());
    EXPECT_EQ(sink.text, "\r\nkept");
    EXPECT_EQ(host.lastRunTime, "(before)");
    EXPECT_FALSE(host.scheduleTimer.has_value());
    EXPECT_EQ(host.status, "Another clean is running (process 77 (orvelle-clean)): not cleaned");
    EXPECT_EQ(lock.taken, 0);

    lock.holder.clear();
    run.cmdBasicClean_Click();
    EXPECT_EQ(steps.calls.size(), 2U);
    EXPECT_EQ(lock.taken, 1);
    EXPECT_EQ(lock.released, 1) << "given back when the run ends";
}

TEST_F(CleaningRunTest, AStartRequestDuringARunIsIgnoredNotNested) {
    Check({3, 9});
    int nestedAttempts = 0;
    steps.during = [&](const std::string&) {
        ++nestedAttempts;
        EXPECT_TRUE(run.IsRunning());
        run.cmdBasicClean_Click();  // a click that arrives while the run yields
    };
    run.cmdBasicClean_Click();
    EXPECT_EQ(nestedAttempts, 2);
    EXPECT_THAT(steps.calls, ElementsAre("EraseRecentFiles: Erasing Recent Files",
                                         "EraseInternetHistory: Erasing Internet History"));
    EXPECT_EQ(sink.text, "\r\nDone") << "one run, one Done";
    EXPECT_EQ(host.shown, 1);
    EXPECT_FALSE(run.IsRunning());

    steps.during = nullptr;
    run.cmdBasicClean_Click();
    EXPECT_EQ(steps.calls.size(), 4U) << "the next request after the run is honoured";
}

TEST_F(CleaningRunTest, AnOptionChangedDuringTheRunCountsOnlyIfTheRunHasNotPassedIt) {
    Check({3});
    steps.during = [&](const std::string& call) {
        if (call.rfind("EraseRecentFiles", 0) == 0) {
            options.SetValue(2, 1);  // already passed
            options.SetValue(9, 1);  // still ahead
        }
    };
    run.cmdBasicClean_Click();
    EXPECT_THAT(steps.calls, ElementsAre("EraseRecentFiles: Erasing Recent Files",
                                         "EraseInternetHistory: Erasing Internet History"));
}

TEST_F(CleaningRunTest, AClipboardHeldByAnotherProgramEndsTheRunWithTheErrorBox) {
    Check({11, 12, 13, 14});
    steps.clipboardHeld = true;
    run.cmdBasicClean_Click();
    EXPECT_THAT(steps.calls,
                ElementsAre("EraseWindowsTemp: Erasing Windows Temporary Files", "ClearClipboard"));
    ASSERT_EQ(messageBox.shown.size(), 1U);
    EXPECT_EQ(messageBox.shown[0].text, "Error: 521 - Can't open Clipboard");
    EXPECT_EQ(messageBox.shown[0].title, "Orvelle");
    EXPECT_EQ(sink.text.find("Done"), std::string::npos);
    EXPECT_EQ(host.status, "(before)");
    EXPECT_EQ(host.scheduleTimer, false) << "the schedule stays off after such a run";
    EXPECT_EQ(host.enableTimer, false);
    EXPECT_FALSE(run.IsRunning());
}

TEST_F(CleaningRunTest, TheClipboardStepWritesNoLine) {
    Check({12});
    run.cmdBasicClean_Click();
    EXPECT_THAT(steps.calls, ElementsAre("ClearClipboard"));
    EXPECT_EQ(sink.text, "\r\nDone");
}

TEST(CleaningRunMessagesTest, OptionsWithoutAStepHaveNoMessage) {
    for (const int index : {0, 1, 10, 12, 14, 15}) {
        EXPECT_EQ(CleaningRun::StepMessage(index), "") << index;
    }
    EXPECT_EQ(CleaningRun::StepMessage(6), "Erasing Internet Cashe");
}

}  // namespace

namespace {

TEST(ThrottledEventPumpTest, EveryCallCountsButTheWindowIsServedAtMostOncePerInterval) {
    using namespace std::chrono_literals;
    os::fake::FakeEventPump inner;
    MemoryLogSink sink;
    ThrottledEventPump::Clock::time_point now{};
    ThrottledEventPump pump(inner, sink, [&] { return now; });
    pump.DoEvents();  // the first yield always reaches the window
    for (int i = 0; i < 1000; ++i) {
        now += 10us;  // 10 ms in all: still within the interval
        pump.DoEvents();
    }
    EXPECT_EQ(inner.calls, 1);
    now += 5ms;
    pump.DoEvents();
    EXPECT_EQ(inner.calls, 2);
    EXPECT_EQ(sink.repaints, 2) << "each real yield repaints the log first";
    EXPECT_EQ(pump.Calls(), 1002);
    EXPECT_EQ(pump.Passed(), 2);
}

}  // namespace
