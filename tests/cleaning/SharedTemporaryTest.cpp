// The temporary-files step on a real folder: a folder other users share keeps
// everything but this user's own entries left alone for a day; a private one is
// emptied. And what a step cannot delete is named in red, never reported as done.

#include "CleaningLog.h"
#include "CleaningRun.h"
#include "CleaningTestSupport.h"
#include "FakeDesktop.h"
#include "FakeOs.h"
#include "FakeShellFolders.h"
#include "FakeStore.h"
#include "FakeTraceCatalog.h"
#include "FolderErasers.h"
#include "FreedesktopTrash.h"
#include "HistoryErasers.h"
#include "Immutable.h"
#include "PosixFolder.h"
#include "PosixFolderTree.h"
#include "PosixTempPath.h"
#include "SqliteRegistry.h"
#include "TempEnvironment.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>

using namespace orvelle;
using namespace orvelle::cleaning;
using namespace orvelle::cleaning::test;
using namespace orvelle::os;
using namespace orvelle::store;
using namespace orvelle::desktop;
using namespace orvelle::traces;
using orvelle::test::MakeDirs;
using orvelle::test::TempEnvironment;
using testing::AllOf;
using testing::Contains;
using testing::ElementsAre;
using testing::HasSubstr;
using testing::IsEmpty;
using testing::Not;

namespace fs = std::filesystem;

namespace {

constexpr const char* kMessage = "Erasing Windows Temporary Files";

void Put(const std::string& path) {
    MakeDirs(fs::path(path).parent_path().string());
    orvelle::test::WriteFile(path, "x");
}

std::vector<std::string> Below(const std::string& root) {
    std::vector<std::string> paths;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        paths.push_back(entry.path().string().substr(root.size() + 1));
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

// Sets an entry's modification and access times (its change time becomes now).
void Touch(const std::string& path, std::time_t when) {
    const timespec times[2] = {{when, 0}, {when, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

// A Unix socket bound at `path`, closed at the end.
class BoundSocket {
public:
    explicit BoundSocket(const std::string& path) : fd_(socket(AF_UNIX, SOCK_STREAM, 0)) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        EXPECT_LT(path.size(), sizeof address.sun_path);
        std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
        EXPECT_EQ(bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    }
    ~BoundSocket() { close(fd_); }
    BoundSocket(const BoundSocket&) = delete;
    BoundSocket& operator=(const BoundSocket&) = delete;

private:
    int fd_;
};

// The steps over the real backend, logged into memory; the shared folder's age
// rule counts from `now`.
struct Steps {
    explicit Steps(std::time_t now) : tree([now] { return now; }) {}

    os::posix::PosixFolderTree tree;
    os::fake::FakeShellFolders special;
    os::posix::PosixTempPath tempPath;
    desktop::fake::FakeMessageBox box;
    MemoryLogSink sink;
    CleaningLog log{sink};
    os::fake::FakeEventPump pump;
    FakeHost host;
    traces::fake::FakeTraceCatalog catalog;
    CleaningTraces traces{catalog, log};
    FolderErasers erasers{tree, special, tempPath, box, log, pump, host, traces};
    store::SqliteRegistry registry{":memory:"};
    os::posix::FreedesktopTrash trash{"/dev/null"};
    HistoryErasers histories{registry, trash, box, log, traces};
};

class SharedTemporaryTest : public ::testing::Test {
protected:
    void SetUp() override {
        temp = environment.Path("shared-tmp");
        MakeDirs(temp);
        environment.Set("TMPDIR", temp);
    }

    TempEnvironment environment;
    std::string temp;
    // Everything made now is a day and an hour old for the walk.
    const std::time_t now = std::time(nullptr) + 25 * 60 * 60;
};

TEST_F(SharedTemporaryTest, ASharedFolderLosesOnlyTheUsersOwnEntriesLeftAloneForADay) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "making another user's file needs root (CI runs as root)";
    }
    ASSERT_EQ(chmod(temp.c_str(), 01777), 0);
    Put(temp + "/old-file");
    Put(temp + "/old-folder/inner/file");
    Put(temp + "/new-file");
    Touch(temp + "/new-file", now - 60);
    Put(temp + "/old-folder-new-file/new");
    Touch(temp + "/old-folder-new-file/new", now - 60);
    Put(temp + "/new-folder/old-file");
    Touch(temp + "/new-folder", now - 60);
    Put(temp + "/others-file");
    ASSERT_EQ(chown((temp + "/others-file").c_str(), 54321, 54321), 0);
    Put(temp + "/others-folder/old");
    ASSERT_EQ(chown((temp + "/others-folder").c_str(), 54321, 54321), 0);
    Put(temp + "/open-file");
    const int open = ::open((temp + "/open-file").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(open, 0);
    const BoundSocket socket(temp + "/socket");

    Steps steps(now);
    steps.erasers.EraseWindowsTemp(kMessage);
    close(open);

    EXPECT_THAT(Below(temp), ElementsAre("new-file", "new-folder", "old-folder-new-file",
                                         "old-folder-new-file/new", "open-file", "others-file",
                                         "others-folder", "others-folder/old", "socket"))
        << "root is held to the same rule as anyone";
    EXPECT_THAT(steps.sink.Runs(),
                ElementsAre(LogRun{kLogBlue, "\r\nPath: " + temp + "\r\n" + kMessage + " ...\r\n" +
                                                 FolderErasers::kSharedTemporaryEntry},
                            LogRun{kLogGreen, std::string("\r\nFinished ") + kMessage}))
        << "what the rule keeps is no failure";
}

TEST_F(SharedTemporaryTest, APrivateFolderIsEmptiedWhateverTheAgeOfItsEntries) {
    ASSERT_EQ(chmod(temp.c_str(), 0700), 0);
    Put(temp + "/old-file");
    Put(temp + "/new-file");
    Touch(temp + "/new-file", now - 60);
    Put(temp + "/folder/new");
    Touch(temp + "/folder/new", now - 60);
    Put(temp + "/.hidden");

    Steps steps(now);
    steps.erasers.EraseWindowsTemp(kMessage);
    EXPECT_THAT(Below(temp), ElementsAre(".hidden"));
    EXPECT_THAT(steps.sink.text, Not(HasSubstr(FolderErasers::kSharedTemporaryEntry)));
    EXPECT_THAT(steps.sink.RedEntries(), IsEmpty());
}

// Every way a folder is shared with other users, and the private one.
struct FolderMode {
    mode_t mode;
    bool shared;
};

class FolderModeTest : public ::testing::TestWithParam<FolderMode> {};

TEST_P(FolderModeTest, OtherUsersWritingOrTheStickyBitMakeAFolderShared) {
    struct stat info {};
    info.st_mode = S_IFDIR | GetParam().mode;
    info.st_uid = 1000;
    EXPECT_EQ(os::posix::PosixFolder::IsShared(info, 1000), GetParam().shared);
    EXPECT_TRUE(os::posix::PosixFolder::IsShared(info, 1001)) << "someone else's folder";
}

INSTANTIATE_TEST_SUITE_P(Modes, FolderModeTest,
                         testing::Values(FolderMode{0700, false}, FolderMode{0755, false},
                                         FolderMode{01777, true}, FolderMode{0777, true},
                                         FolderMode{0770, true}, FolderMode{01700, true}));

class UndeletableTest : public SharedTemporaryTest {};

TEST_F(UndeletableTest, AnImmutableTrashedFileIsNamedAndKeepsItsRecord) {
    const std::string trash = environment.Path("data/Trash");
    Put(trash + "/files/stuck.txt");
    Put(trash + "/files/gone.txt");
    Put(trash + "/info/stuck.txt.trashinfo");
    Put(trash + "/info/gone.txt.trashinfo");
    orvelle::test::Immutable immutable;
    if (!immutable.Set(trash + "/files/stuck.txt")) {
        GTEST_SKIP() << "this file system or user cannot mark a file immutable; "
                        "FolderErasersTest covers the same logic with a failing fake";
    }
    Steps steps(now);
    steps.histories.EmptyRecycleBin("Erasing Contents of Recycle Bin");

    EXPECT_THAT(Below(trash),
                ElementsAre("files", "files/stuck.txt", "info", "info/stuck.txt.trashinfo"));
    EXPECT_THAT(steps.sink.RedEntries(), ElementsAre("\r\nNot erased: " + trash +
                                                     "/files/stuck.txt (Operation not permitted)"));
    EXPECT_THAT(steps.sink.text, HasSubstr("Finished Erasing Contents of Recycle Bin"));
    EXPECT_EQ(steps.log.RedEntries(), 1);
}

TEST_F(UndeletableTest, AReadOnlyTrashFolderIsReportedEntryByEntry) {
    const std::string trash = environment.Path("data/Trash");
    Put(trash + "/files/a");
    Put(trash + "/files/b");
    Put(trash + "/info/a.trashinfo");
    Put(trash + "/info/b.trashinfo");
    orvelle::test::Immutable immutable;
    if (!immutable.Set(trash + "/files")) {
        if (geteuid() == 0) {
            GTEST_SKIP() << "this file system cannot mark a folder immutable; "
                            "FolderErasersTest covers the same logic with a failing fake";
        }
        ASSERT_EQ(chmod((trash + "/files").c_str(), 0555), 0);  // read-only for this user
    }
    Steps steps(now);
    steps.histories.EmptyRecycleBin("Erasing Contents of Recycle Bin");
    chmod((trash + "/files").c_str(), 0755);

    auto red = steps.sink.RedEntries();
    std::sort(red.begin(), red.end());
    ASSERT_EQ(red.size(), 2U) << steps.sink.text;
    EXPECT_THAT(red[0],
                AllOf(HasSubstr("Not erased: " + trash + "/files/a ("), Not(HasSubstr("()"))));
    EXPECT_THAT(red[1], HasSubstr("Not erased: " + trash + "/files/b ("));
    EXPECT_THAT(Below(trash + "/info"), ElementsAre("a.trashinfo", "b.trashinfo"));
}

TEST_F(UndeletableTest, AnImmutableFileDeepInAFolderIsNamedByItsFullPath) {
    ASSERT_EQ(chmod(temp.c_str(), 0700), 0);
    Put(temp + "/a/b/stuck");
    Put(temp + "/a/b/other");
    Put(temp + "/top-stuck");
    Put(temp + "/c/gone");
    orvelle::test::Immutable immutable;
    if (!immutable.Set(temp + "/a/b/stuck") || !immutable.Set(temp + "/top-stuck")) {
        GTEST_SKIP() << "this file system or user cannot mark a file immutable; "
                        "FolderErasersTest covers the same logic with a failing fake";
    }
    Steps steps(now);
    steps.erasers.EraseWindowsTemp(kMessage);
    steps.host.SetStatus(CleaningRun::FinalStatus(steps.log.RedEntries()));

    EXPECT_THAT(Below(temp), ElementsAre("a", "a/b", "a/b/stuck", "top-stuck"));
    EXPECT_THAT(steps.sink.RedEntries(),
                ElementsAre("\r\nNot erased: " + temp + "/a/b/stuck (Operation not permitted)",
                            "\r\nNot erased: " + temp + "/top-stuck (Operation not permitted)"));
    EXPECT_EQ(steps.host.statuses.back(), "Ready, with 2 problems: see the red entries in the log");
}

}  // namespace
