#include "CleaningLog.h"
#include "CleaningTestSupport.h"
#include "FakeDesktop.h"
#include "FakeFolderTree.h"
#include "FakeOs.h"
#include "FakeShellFolders.h"
#include "FakeStore.h"
#include "FakeTraceCatalog.h"
#include "FolderErasers.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace orvelle;
using namespace orvelle::cleaning;
using namespace orvelle::cleaning::test;
using namespace orvelle::os;
using namespace orvelle::desktop;
using namespace orvelle::traces;
using testing::Contains;
using testing::ElementsAre;
using testing::IsEmpty;
using testing::Not;

namespace {

class FolderErasersTest : public ::testing::Test {
protected:
    FolderErasersTest() {
        special.folders[CSIDL_HISTORY] = "/u/History";
        special.folders[CSIDL_RECENT] = "/u/Recent";
        special.folders[CSIDL_PERSONAL] = "/u/Documents";
        special.folders[CSIDL_INTERNET_CACHE] = "/u/Cache";
        special.folders[CSIDL_COOKIES] = "/u/Cookies";
        special.folders[CSIDL_FAVORITES] = "/u/Favorites";
        tempPath.path = "/t/tmp/";
    }

    os::fake::FakeFolderTree tree;
    os::fake::FakeShellFolders special;
    os::fake::FakeTempPath tempPath;
    desktop::fake::FakeMessageBox messageBox;
    MemoryLogSink sink;
    CleaningLog log{sink};
    os::fake::FakeEventPump yield;
    FakeHost host;
    traces::fake::FakeTraceCatalog catalog;
    CleaningTraces traces{catalog, log};
    FolderErasers erasers{tree, special, tempPath, messageBox, log, yield, host, traces};
};

TEST_F(FolderErasersTest, TheHistoryFolderKeepsOnlyItsHiddenTopFile) {
    tree.AddFile("/u/History/a.txt");
    tree.AddFile("/u/History/.h.dat");
    tree.AddFile("/u/History/S/.hidden");
    tree.AddFile("/u/History/S/readonly.txt");
    tree.AddFile("/u/History/.cache/index");  // a hidden folder is a folder like any other
    tree.AddLink("/u/History/latest");
    erasers.EraseInternetHistory("Erasing Internet History");

    EXPECT_THAT(tree.PathsBelow("/u/History"), ElementsAre("/u/History/.h.dat"));
    EXPECT_THAT(
        sink.Runs(),
        ElementsAre(LogRun{kLogBlue, "\r\nPath: /u/History\r\nErasing Internet History ..."},
                    LogRun{kLogGreen, "\r\nFinished Erasing Internet History"}));
    EXPECT_THAT(host.statuses, ElementsAre("Erasing Internet History ..."));
    EXPECT_EQ(yield.calls, 5) << "every file the walk deletes is a yield point";
}

TEST_F(FolderErasersTest, AMissingFolderLogsThePlatformsDescriptionInItsOwnShape) {
    erasers.EraseInternetHistory("Erasing Internet History");
    EXPECT_THAT(
        sink.Runs(),
        ElementsAre(LogRun{kLogBlue, "\r\nPath: /u/History\r\nErasing Internet History ..."},
                    LogRun{kLogRed, "Path not found\r\n"},
                    LogRun{kLogGreen, "\r\nFinished Erasing Internet History"}));
}

TEST_F(FolderErasersTest, AFailedLookupWalksNothing) {
    special.folders.erase(CSIDL_COOKIES);
    erasers.EraseCookies("Erasing Browser Cookies");
    EXPECT_THAT(tree.calls, IsEmpty());
    EXPECT_EQ(sink.text,
              "\r\nPath: \r\nErasing Browser Cookies ...\r\nFinished Erasing Browser Cookies");
    EXPECT_THAT(host.statuses, IsEmpty()) << "the cookie step leaves the status alone";

    special.throwFor = CSIDL_RECENT;
    erasers.EraseRecentFiles("Erasing Recent Files");
    ASSERT_EQ(messageBox.shown.size(), 1U) << "an error of the lookup itself is shown";
    EXPECT_EQ(messageBox.shown[0].text, "Error: 57 - Device I/O error");
    EXPECT_THAT(tree.calls, IsEmpty());
}

struct StepCase {
    const char* name;
    void (FolderErasers::*step)(const std::string&);
    const char* message;
    const char* folder;
    bool setsStatus;
};

class FolderStepTest : public FolderErasersTest, public ::testing::WithParamInterface<StepCase> {};

TEST_P(FolderStepTest, EachStepEmptiesItsOwnFolder) {
    const StepCase& row = GetParam();
    const std::string folder = row.folder;
    tree.AddFile(folder + "/plain");
    tree.AddFile(folder + "/.hidden");
    tree.AddFile(folder + "/sub/deeper/x");
    (erasers.*row.step)(row.message);
    EXPECT_THAT(tree.PathsBelow(folder), ElementsAre(folder + "/.hidden"));
    EXPECT_EQ(tree.calls.front(), "OpenRoot " + folder);
    EXPECT_EQ(sink.text,
              "\r\nPath: " + folder + "\r\n" + row.message + " ...\r\nFinished " + row.message);
    if (row.setsStatus) {
        EXPECT_THAT(host.statuses, ElementsAre(std::string(row.message) + " ..."));
    } else {
        EXPECT_THAT(host.statuses, IsEmpty());
    }
}

INSTANTIATE_TEST_SUITE_P(Steps, FolderStepTest,
                         ::testing::Values(
                             // The temporary folder is walked without its trailing separator.
                             StepCase{"WindowsTemp", &FolderErasers::EraseWindowsTemp,
                                      "Erasing Windows Temporary Files", "/t/tmp", true},
                             StepCase{"Favorites", &FolderErasers::EraseFavorites,
                                      "Erasing Browser Favorites", "/u/Favorites", false},
                             StepCase{"MyDocuments", &FolderErasers::EraseMyDocuments,
                                      "Erasing My Documents Files", "/u/Documents", false},
                             StepCase{"Cookies", &FolderErasers::EraseCookies,
                                      "Erasing Browser Cookies", "/u/Cookies", false},
                             StepCase{"Recent", &FolderErasers::EraseRecentFiles,
                                      "Erasing Recent Files", "/u/Recent", false},
                             StepCase{"InternetCache", &FolderErasers::EraseInternetCache,
                                      "Erasing Internet Cashe", "/u/Cache", true},
                             StepCase{"History", &FolderErasers::EraseInternetHistory,
                                      "Erasing Internet History", "/u/History", true}),
                         [](const auto& rowInfo) { return std::string(rowInfo.param.name); });

TEST_F(FolderErasersTest, WithoutATemporaryFolderTheStepEndsWithItsErrorEntry) {
    tempPath.path = "";
    erasers.EraseWindowsTemp("Erasing Windows Temporary Files");
    EXPECT_THAT(sink.Runs(),
                ElementsAre(LogRun{kLogRed, "\r\nError in Erasing Windows Temporary Files ..."}));
    EXPECT_EQ(sink.colour, kLogBlue) << "the colour goes back to blue";
    EXPECT_THAT(tree.calls, IsEmpty());
    EXPECT_THAT(host.statuses, IsEmpty());
}

TEST_F(FolderErasersTest, AFileInUseKeepsItsFolderAndTheFolderAboveItButNoOther) {
    tree.AddFile("/r/A/B/locked", /*inUse=*/true);
    tree.AddFile("/r/A/B/x");
    tree.AddFile("/r/A/y");
    tree.AddFile("/r/C/z");
    tree.AddKept("/r/D/fifo");
    tree.AddFile("/r/D/w");
    erasers.DeleteFolderTree("/r");
    EXPECT_THAT(tree.PathsBelow("/r"),
                ElementsAre("/r/A", "/r/A/B", "/r/A/B/locked", "/r/D", "/r/D/fifo"));
    EXPECT_EQ(sink.text, "") << "what cannot be deleted is skipped without an entry";
}

TEST_F(FolderErasersTest, ASubfolderNamedLikeTheRootIsRemoved) {
    tree.AddFile("/x/History/History/f");
    tree.AddFile("/x/History/History/History/g");
    erasers.DeleteFolderTree("/x/History");
    EXPECT_TRUE(tree.Exists("/x/History"));
    EXPECT_THAT(tree.PathsBelow("/x/History"), IsEmpty());
}

TEST_F(FolderErasersTest, ASubfolderThatCannotBeOpenedLogsAndKeepsItsContentsOnly) {
    tree.AddFile("/r/a/1");
    tree.AddFile("/r/b/2");
    tree.AddFile("/r/c/3");
    tree.AddFile("/r/top");
    tree.refused.push_back("/r/b");
    erasers.DeleteFolderTree("/r");
    EXPECT_THAT(tree.PathsBelow("/r"), ElementsAre("/r/b", "/r/b/2"));
    EXPECT_THAT(sink.Runs(), ElementsAre(LogRun{kLogRed, "Permission denied\r\n"}));
    EXPECT_EQ(sink.colour, kLogBlue);
}

TEST_F(FolderErasersTest, ARefusedFolderIsNotTouchedAtAll) {
    tree.AddFile("/home/u/keep");
    tree.refused.push_back("/home/u");
    erasers.DeleteFolderTree("/home/u");
    EXPECT_THAT(tree.calls, ElementsAre("OpenRoot /home/u"));
    EXPECT_TRUE(tree.Exists("/home/u/keep"));
    ASSERT_EQ(sink.Runs().size(), 1U);
    EXPECT_EQ(sink.Runs()[0].colour, kLogRed);
}

// Whichever call of the walk fails, the folder itself and its hidden top file stay,
// a failing open or listing costs exactly one red entry, and a failing deletion
// none: the walk goes on.
TEST(FolderWalkFailureTest, AFailureOnAnyCallKeepsTheRulesOfTheWalk) {
    const auto build = [](os::fake::FakeFolderTree& tree) {
        tree.AddFile("/r/.keep");
        tree.AddFile("/r/top");
        tree.AddFile("/r/a/1");
        tree.AddFile("/r/a/b/2");
        tree.AddFile("/r/c/3");
    };
    os::fake::FakeFolderTree dryRun;
    build(dryRun);
    {
        os::fake::FakeShellFolders special;
        os::fake::FakeTempPath temp;
        desktop::fake::FakeMessageBox box;
        MemoryLogSink sink;
        CleaningLog log(sink);
        os::fake::FakeEventPump pump;
        FakeHost host;
        traces::fake::FakeTraceCatalog catalog;
        CleaningTraces traces(catalog, log);
        FolderErasers(dryRun, special, temp, box, log, pump, host, traces).DeleteFolderTree("/r");
    }
    const std::vector<std::string> allCalls = dryRun.calls;
    ASSERT_GT(allCalls.size(), 10U);

    for (std::size_t failing = 1; failing <= allCalls.size(); ++failing) {
        SCOPED_TRACE("failing call " + std::to_string(failing) + ": " + allCalls[failing - 1]);
        os::fake::FakeFolderTree tree;
        build(tree);
        tree.failOnCall = static_cast<int>(failing);
        os::fake::FakeShellFolders special;
        os::fake::FakeTempPath temp;
        desktop::fake::FakeMessageBox box;
        MemoryLogSink sink;
        CleaningLog log(sink);
        os::fake::FakeEventPump pump;
        FakeHost host;
        traces::fake::FakeTraceCatalog catalog;
        CleaningTraces traces(catalog, log);
        FolderErasers(tree, special, temp, box, log, pump, host, traces).DeleteFolderTree("/r");

        EXPECT_TRUE(tree.Exists("/r/.keep"));
        EXPECT_THAT(tree.calls, Not(Contains(testing::StartsWith("DeleteFile /r/.keep"))));
        const std::string& failed = allCalls[failing - 1];
        const bool opening = failed.rfind("Delete", 0) != 0;
        const auto runs = sink.Runs();
        if (opening) {
            ASSERT_EQ(runs.size(), 1U);
            EXPECT_EQ(runs[0], (LogRun{kLogRed, "Path not found\r\n"}));
        } else {
            EXPECT_THAT(runs, IsEmpty());
            EXPECT_FALSE(tree.Exists("/r/top") && failed != "DeleteFile /r/top");
        }
        EXPECT_TRUE(box.shown.empty());
    }
}

}  // namespace

namespace {

TEST_F(FolderErasersTest, WhatTheSystemRefusesToDeleteIsNamedTwentyAtMostThenCounted) {
    for (int i = 0; i < 23; ++i) {
        tree.AddUndeletableFile("/u/History/f" + std::string(i < 10 ? "0" : "") +
                                std::to_string(i));
    }
    tree.AddUndeletableFile("/u/History/deep/er/stuck");
    tree.AddFile("/u/History/deep/er/gone");
    tree.AddFile("/u/History/a.txt");
    erasers.EraseInternetHistory("Erasing Internet History");

    const auto red = sink.RedEntries();
    ASSERT_EQ(red.size(), CleaningLog::kNamedFailures + 1);
    // The subfolders go first, so the deep file is named first, by its full path.
    EXPECT_EQ(red[0], "\r\nNot erased: /u/History/deep/er/stuck (Operation not permitted)");
    EXPECT_EQ(red[1], "\r\nNot erased: /u/History/f00 (Operation not permitted)");
    EXPECT_EQ(red[19], "\r\nNot erased: /u/History/f18 (Operation not permitted)");
    EXPECT_EQ(red[20], "\r\nNot erased: 4 more entries besides those named above");
    EXPECT_EQ(sink.Runs().back(), (LogRun{kLogGreen, "\r\nFinished Erasing Internet History"}));
    EXPECT_EQ(log.RedEntries(), 21);
    EXPECT_FALSE(tree.Exists("/u/History/a.txt"));
    EXPECT_FALSE(tree.Exists("/u/History/deep/er/gone"));
    EXPECT_TRUE(tree.Exists("/u/History/deep/er/stuck"));

    // The next step counts its own from nothing.
    tree.AddUndeletableFile("/u/Recent/x");
    erasers.EraseRecentFiles("Erasing Recent Files");
    EXPECT_EQ(sink.RedEntries().back(), "\r\nNot erased: /u/Recent/x (Operation not permitted)");
    EXPECT_EQ(log.RedEntries(), 22);
}

TEST_F(FolderErasersTest, AFileInUseIsKeptWithoutARedEntry) {
    tree.AddFile("/u/History/S/open.db", true);
    erasers.EraseInternetHistory("Erasing Internet History");
    EXPECT_THAT(sink.RedEntries(), IsEmpty());
    EXPECT_EQ(log.RedEntries(), 0);
}

}  // namespace
