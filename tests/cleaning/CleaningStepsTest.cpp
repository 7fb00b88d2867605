// The run with the real erasers and browser settings, over an in-memory registry
// and folder tree: what a user sees in the log, and what is left afterwards.

#include "BrowserSettings.h"
#include "CleaningLog.h"
#include "CleaningOptions.h"
#include "CleaningRun.h"
#include "CleaningSteps.h"
#include "CleaningTestSupport.h"
#include "FakeCleaningLock.h"
#include "FakeClipboard.h"
#include "FakeDesktop.h"
#include "FakeFolderTree.h"
#include "FakeOs.h"
#include "FakeRecycleBin.h"
#include "FakeShellFolders.h"
#include "FakeStore.h"
#include "FakeTraceCatalog.h"
#include "FolderErasers.h"
#include "HistoryErasers.h"
#include "RegistryLayer.h"
#include "RegistrySettingsStore.h"
#include "SqliteRegistry.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace orvelle;
using namespace orvelle::cleaning;
using namespace orvelle::cleaning::test;
using namespace orvelle::os;
using namespace orvelle::store;
using namespace orvelle::desktop;
using namespace orvelle::traces;
using testing::ElementsAre;

namespace {

class CleaningStepsTest : public ::testing::Test {
protected:
    CleaningStepsTest() {
        special.folders[CSIDL_RECENT] = "/u/Recent";
        special.folders[CSIDL_HISTORY] = "/u/History";
        tempPath.path = "/t/";
        tree.AddFile("/u/Recent/doc.lnk");
        tree.AddFile("/t/x.tmp");
    }

    void Check(std::initializer_list<int> indexes, int value = 1) {
        for (const int index : indexes) {
            options.SetValue(index, value);
        }
    }
    bool KeyExists(const std::string& path) {
        HKEY key = kNullKey;
        const bool exists =
            registry.RegOpenKeyExA(HKEY_CURRENT_USER, path, KEY_READ, key) == ERROR_SUCCESS;
        registry.RegCloseKey(key);
        return exists;
    }
    void AddKeyWithValue(const std::string& path, const std::string& name) {
        HKEY key = kNullKey;
        ASSERT_EQ(registry.RegCreateKeyExA(HKEY_CURRENT_USER, path, KEY_SIX_SPECIFIC_RIGHTS, key),
                  ERROR_SUCCESS);
        layer.SetValueEx(key, name, REG_SZ, std::string("typed"));
        registry.RegCloseKey(key);
    }
    std::string MainValue(const char* name) {
        return layer.QueryUserValue(BrowserSettings::kMainKey, name);
    }

    store::SqliteRegistry registry{":memory:"};
    RegistrySettingsStore settings{registry};
    desktop::fake::FakeMessageBox messageBox;
    shell::RegistryLayer layer{registry, messageBox};
    traces::fake::FakeTraceCatalog catalog;
    CleaningOptions options{settings, messageBox, layer, "/opt/orvelle", catalog};
    os::fake::FakeFolderTree tree;
    os::fake::FakeShellFolders special;
    os::fake::FakeTempPath tempPath;
    os::fake::FakeRecycleBin recycleBin;
    desktop::fake::FakeClipboard clipboard;
    os::fake::FakeClock clock;
    os::fake::FakeEventPump eventPump;
    FakeHost host;
    MemoryLogSink sink;
    CleaningLog log{sink};
    CleaningTraces traces{catalog, log};
    BrowserSettings browser{settings, messageBox, layer, catalog};
    FolderErasers folders{tree, special, tempPath, messageBox, log, eventPump, host, traces};
    HistoryErasers histories{registry, recycleBin, messageBox, log, traces};
    CleaningSteps steps{folders, histories, browser, clipboard, traces};
    os::fake::FakeCleaningLock lock;
    CleaningRun run{options, steps, host, log, clock, eventPump, messageBox, lock};
};

TEST_F(CleaningStepsTest, TheLogOfARunInOrderAndInColour) {
    AddKeyWithValue(HistoryErasers::kTypedURLsKey, "url1");
    Check({9, 3, 2, 5, 7, 11, 12});  // checked in another order than they run
    run.cmdBasicClean_Click();

    EXPECT_THAT(
        sink.Runs(),
        ElementsAre(
            LogRun{kLogBlue,
                   "\r\nPath: HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\TypedURLs"
                   "\r\nErasing 'Auto Complete' Site Addresses ..."},
            LogRun{kLogGreen, "\r\nFinished Erasing 'Auto Complete' Site Addresses"},
            LogRun{kLogBlue, "\r\nPath: /u/Recent\r\nErasing Recent Files ..."},
            LogRun{kLogGreen, "\r\nFinished Erasing Recent Files"},
            LogRun{kLogBlue,
                   "\r\nPath: /home/u/.local/share/Trash\r\nErasing Contents of Recycle Bin ..."},
            LogRun{kLogGreen, "\r\nFinished Erasing Contents of Recycle Bin"},
            LogRun{kLogBlue, "\r\nPath: \r\nErasing Browser Cookies ..."},
            LogRun{kLogGreen, "\r\nFinished Erasing Browser Cookies"},
            LogRun{kLogBlue, "\r\nPath: /u/History\r\nErasing Internet History ..."},
            LogRun{kLogRed, "Path not found\r\n"},
            LogRun{kLogGreen, "\r\nFinished Erasing Internet History"},
            LogRun{kLogBlue, "\r\nPath: /t\r\nErasing Windows Temporary Files ..."},
            LogRun{kLogGreen, "\r\nFinished Erasing Windows Temporary Files"},
            LogRun{kLogBlack, "\r\nDone"}));
    EXPECT_FALSE(KeyExists(HistoryErasers::kTypedURLsKey));
    EXPECT_FALSE(tree.Exists("/u/Recent/doc.lnk"));
    EXPECT_FALSE(tree.Exists("/t/x.tmp"));
    EXPECT_EQ(recycleBin.emptied, 1);
    EXPECT_EQ(clipboard.clears, 1);
    // The status line keeps the last status-setting step's text until the run ends,
    // and then counts the red entries (the missing History folder).
    EXPECT_THAT(host.statuses,
                ElementsAre("Erasing Internet History ...", "Erasing Windows Temporary Files ...",
                            "Ready, with 1 problem: see the red entries in the log"));
    EXPECT_TRUE(messageBox.shown.empty());
}

TEST_F(CleaningStepsTest, ErasingRegistryHistoriesIsRepeatableAndLeavesTheirNeighbours) {
    const std::string explorer = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer";
    AddKeyWithValue(HistoryErasers::kRunMRUKey, "a");
    AddKeyWithValue(explorer + "\\RecentDocs", "b");
    Check({13});
    run.cmdBasicClean_Click();
    const std::string first = sink.text;
    EXPECT_FALSE(KeyExists(HistoryErasers::kRunMRUKey));
    EXPECT_TRUE(KeyExists(explorer + "\\RecentDocs"));
    EXPECT_TRUE(KeyExists(explorer + "\\User Shell Folders"));

    run.cmdBasicClean_Click();  // the key is gone now: no error, the same entries
    EXPECT_EQ(sink.text, first);
    EXPECT_EQ(first,
              "\r\nPath: HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\"
              "Explorer\\RunMRU\r\nErasing Windows Start Run History ...\r\n"
              "Finished Erasing Windows Start Run History\r\nDone");
    EXPECT_TRUE(messageBox.shown.empty());
}

TEST_F(CleaningStepsTest, ABrokenRecycleBinLogsTheStepErrorAndTheRunGoesOn) {
    recycleBin.throwOnEmpty = true;
    Check({5, 11});
    run.cmdBasicClean_Click();
    EXPECT_THAT(sink.Runs(),
                ElementsAre(LogRun{kLogBlue,
                                   "\r\nPath: /home/u/.local/share/Trash"
                                   "\r\nErasing Contents of Recycle Bin ..."},
                            LogRun{kLogRed, "\r\nError in Erasing Contents of Recycle Bin ..."},
                            LogRun{kLogBlue, "\r\nPath: /t\r\nErasing Windows Temporary Files ..."},
                            LogRun{kLogGreen, "\r\nFinished Erasing Windows Temporary Files"},
                            LogRun{kLogBlack, "\r\nDone"}));
}

TEST_F(CleaningStepsTest, WhatTheRecycleBinCouldNotDeleteIsNamedAndTheStatusCountsIt) {
    recycleBin.failures = {{"/m/.Trash-0/files/stuck", "Operation not permitted"},
                           {"/m/.Trash-0", "Permission denied"}};
    Check({5});
    run.cmdBasicClean_Click();
    EXPECT_THAT(
        sink.Runs(),
        ElementsAre(LogRun{kLogBlue,
                           "\r\nPath: /home/u/.local/share/Trash"
                           "\r\nErasing Contents of Recycle Bin ..."},
                    LogRun{kLogRed,
                           "\r\nNot erased: /m/.Trash-0/files/stuck (Operation not permitted)"
                           "\r\nNot erased: /m/.Trash-0 (Permission denied)"},
                    LogRun{kLogGreen, "\r\nFinished Erasing Contents of Recycle Bin"},
                    LogRun{kLogBlack, "\r\nDone"}));
    EXPECT_EQ(host.status, "Ready, with 2 problems: see the red entries in the log");

    // The next run starts counting again.
    run.cmdBasicClean_Click();
    EXPECT_EQ(host.status, "Ready");
}

TEST_F(CleaningStepsTest, TheScriptValuesAreSetToYesAndNeverReset) {
    Check({14, 15});
    run.cmdBasicClean_Click();
    EXPECT_EQ(MainValue("Disable Script Debugger"), "yes");
    EXPECT_EQ(MainValue("Disable Script DebuggerX"), "yes");
    EXPECT_EQ(sink.text, "\r\nDone") << "they write no log entry";

    Check({14, 15}, 0);
    run.cmdBasicClean_Click();
    EXPECT_EQ(MainValue("Disable Script Debugger"), "yes");
    EXPECT_EQ(MainValue("Disable Script DebuggerX"), "yes");
}

TEST_F(CleaningStepsTest, DoneReplacesWhatTheUserSelectedWhileTheRunYielded) {
    Check({3});
    eventPump.onDoEvents = [&] {
        // The user selects "Path" of the first entry while the run yields.
        if (sink.text.find("Finished Erasing Recent Files") != std::string::npos &&
            sink.selectionLength == 0 && sink.text.find("Done") == std::string::npos) {
            sink.Select(2, 4);
        }
    };
    run.cmdBasicClean_Click();
    // "Done" replaces the selection without keeping it.
    EXPECT_EQ(sink.text.substr(0, 10), "\r\n\r\nDone: ");
}

TEST(CleaningLogTest, ANameCannotAddALineOrDriveATerminal) {
    struct Row {
        const char* name;
        std::string text;
        std::string shown;
    };
    const Row rows[] = {
        {"line breaks", "Evil\nDone\r\nPath: /home", "Evil\\nDone\\r\\nPath: /home"},
        {"terminal escape", "a\x1b[31mred\x07", "a\\x1b[31mred\\x07"},
        {"tab and delete", "x\ty\x7f", "x\\ty\\x7f"},
        {"C1 control in UTF-8",
         "a\xc2\x9b"
         "2J",
         "a\\u009b2J"},
        {"ordinary names stay", "Année é ü \\ %s", "Année é ü \\ %s"},
        {"bytes that are not UTF-8 stay", "caf\xe9", "caf\xe9"},
    };
    for (const Row& row : rows) {
        MemoryLogSink sink;
        CleaningLog log(sink);
        log.PathEntry(row.text);
        log.ErrorEntry(row.text);
        log.WalkError(row.text);
        EXPECT_EQ(sink.text, "\r\nPath: " + row.shown + "\r\n" + row.shown + row.shown + "\r\n")
            << row.name;
    }
}

TEST(CleaningLogTest, AnEntryPutsTheSelectionBackBeforeItself) {
    MemoryLogSink sink;
    CleaningLog log(sink);
    sink.SetText("\r\nfirst", kLogBlue);
    sink.Select(2, 5);
    log.SetColour(kLogGreen);
    log.Entry("second");
    EXPECT_EQ(sink.text, "\r\nfirst\r\nsecond");
    EXPECT_THAT(sink.Runs(),
                ElementsAre(LogRun{kLogBlue, "\r\n"}, LogRun{kLogGreen, "first\r\nsecond"}))
        << "the kept selection takes the new colour";
    EXPECT_EQ(sink.selectionStart, sink.text.size());
}

}  // namespace

namespace {

TraceItem Item(int option, const std::string& path) {
    TraceItem item;
    item.option = option;
    item.path = path;
    return item;
}

}  // namespace

TEST_F(CleaningStepsTest, EachStepLogsItsLocationsThenWhatItCouldNotErase) {
    struct Row {
        int option;
        std::string own;  // the step's own path entry
        std::string message;
    };
    const std::string explorer = "HKEY_CURRENT_USER\\Software\\Microsoft\\";
    for (const Row& row :
         {Row{2, explorer + "Internet Explorer\\TypedURLs",
              "Erasing 'Auto Complete' Site Addresses"},
          Row{3, "/u/Recent", "Erasing Recent Files"}, Row{6, "", "Erasing Internet Cashe"},
          Row{7, "", "Erasing Browser Cookies"}, Row{8, "", "Erasing Browser Favorites"},
          Row{13, explorer + "Windows\\CurrentVersion\\Explorer\\RunMRU",
              "Erasing Windows Start Run History"}}) {
        SCOPED_TRACE(row.option);
        catalog.findings[row.option] = {
            {Item(row.option, "/p/a"), Item(row.option, "/p/b"), Item(row.option, "/p/a")},
            {{row.option, "Firefox", "busy", "/p/busy", "in use by process 42"}}};
        catalog.failures["/p/b"] = "Could not delete \"/p/b\"";
        catalog.applied.clear();
        options.cmdDefaultSettings_Click();
        for (int index = 0; index < 16; ++index) {
            options.SetValue(index, index == row.option ? 1 : 0);
        }
        run.cmdBasicClean_Click();
        const std::string own = row.own.empty() ? "" : "\r\nPath: " + row.own;
        EXPECT_THAT(
            sink.Runs(),
            ElementsAre(
                LogRun{kLogBlue, own + "\r\nPath: /p/a\r\nPath: /p/b\r\n" + row.message + " ..."},
                LogRun{kLogRed,
                       "\r\nFirefox profile \"busy\" (/p/busy) is in use by "
                       "process 42: not cleaned\r\nCould not delete \"/p/b\""},
                LogRun{kLogGreen, "\r\nFinished " + row.message}, LogRun{kLogBlack, "\r\nDone"}));
        ASSERT_EQ(catalog.applied.size(), 3U) << "the items exactly as found, in order";
        EXPECT_EQ(catalog.applied[1].path, "/p/b");
        catalog.findings.clear();
    }
}

TEST_F(CleaningStepsTest, TheClipboardStepStaysSilentUnlessItsHistoryCannotBeErased) {
    catalog.findings[12] = {{Item(12, "/d/klipper/history2.lst")}, {}};
    Check({12});
    run.cmdBasicClean_Click();
    EXPECT_EQ(sink.text, "\r\nDone");
    ASSERT_EQ(catalog.applied.size(), 1U);
    EXPECT_EQ(clipboard.clears, 1);

    catalog.failures["/d/klipper/history2.lst"] = "Permission denied";
    run.cmdBasicClean_Click();
    EXPECT_THAT(sink.Runs(), ElementsAre(LogRun{kLogRed, "\r\nPermission denied"},
                                         LogRun{kLogBlack, "\r\nDone"}));
}
