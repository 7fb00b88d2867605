#include "AtomicFile.h"
#include "FlockCleaningLock.h"
#include "FlockInstanceLock.h"
#include "PosixFileSystem.h"
#include "PosixProcessInfo.h"
#include "PosixTempPath.h"
#include "PrivateMounts.h"
#include "RegistrySettingsStore.h"
#include "SqliteRegistry.h"
#include "TempEnvironment.h"
#include "XdgStartupList.h"
#include "os/RuntimeError.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>
#include <filesystem>
#include <set>

using namespace orvelle::os;
using namespace orvelle::store;
using namespace orvelle::os::posix;
using namespace orvelle::store;
using orvelle::test::ReadFile;
using orvelle::test::TempEnvironment;
using orvelle::test::WriteFile;

TEST(FlockInstanceLockTest, SecondCopySeesTheFirstAndAKilledFirstCopyBlocksNothing) {
    TempEnvironment environment;
    const std::string path = FlockInstanceLock::DefaultPath();
    EXPECT_EQ(path, environment.Path("runtime/orvelle.lock"));

    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t first = fork();
    ASSERT_GE(first, 0);
    if (first == 0) {
        FlockInstanceLock lock(path);
        const char answer = lock.PreviousInstance() ? 'y' : 'n';
        static_cast<void>(write(ready[1], &answer, 1));
        pause();  // holds the lock until killed
        _exit(0);
    }
    char answer = 0;
    ASSERT_EQ(read(ready[0], &answer, 1), 1);
    EXPECT_EQ(answer, 'n') << "the first copy runs";

    FlockInstanceLock second(path);
    EXPECT_TRUE(second.PreviousInstance()) << "a second copy is refused";

    ASSERT_EQ(kill(first, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(waitpid(first, &status, 0), first);
    FlockInstanceLock third(path);
    EXPECT_FALSE(third.PreviousInstance()) << "the killed copy's lock is gone";
    EXPECT_FALSE(third.PreviousInstance()) << "asking again keeps the lock";
    close(ready[0]);
    close(ready[1]);
}

TEST(FlockInstanceLockTest, WithoutARuntimeFolderTheLockIsPerUserInTheTemporaryFolder) {
    TempEnvironment environment;
    environment.Set("XDG_RUNTIME_DIR", std::nullopt);
    EXPECT_EQ(FlockInstanceLock::DefaultPath(),
              environment.Path("tmp/orvelle-") + std::to_string(getuid()) + ".lock");
}

TEST(FlockInstanceLockTest, ALinkInPlaceOfTheLockFileIsNotFollowed) {
    TempEnvironment environment;
    const std::string target = environment.Path("target");
    WriteFile(target, "keep");
    const std::string path = environment.Path("runtime/orvelle.lock");
    ASSERT_EQ(symlink(target.c_str(), path.c_str()), 0);
    FlockInstanceLock lock(path);
    EXPECT_FALSE(lock.PreviousInstance());
    EXPECT_EQ(ReadFile(target), "keep");
}

TEST(PosixTempPathTest, EndsWithASeparator) {
    TempEnvironment environment;
    PosixTempPath temp;
    environment.Set("TMPDIR", std::string("/var/tmp"));
    EXPECT_EQ(temp.GetTempPathA(), "/var/tmp/");
    environment.Set("TMPDIR", std::string("/var/tmp/"));
    EXPECT_EQ(temp.GetTempPathA(), "/var/tmp/");
    environment.Set("TMPDIR", std::nullopt);
    EXPECT_EQ(temp.GetTempPathA(), "/tmp/");
    environment.Set("TMPDIR", std::string("relative"));
    EXPECT_EQ(temp.GetTempPathA(), "/tmp/");
}

TEST(XdgStartupListTest, EntryStartsTheProgramAndIsRemovedAgain) {
    TempEnvironment environment;
    XdgStartupList list;
    const std::string entry = environment.Path("config/autostart/Orvelle.desktop");
    ASSERT_TRUE(list.AddEntry("Orvelle", "/opt/my tools/orvelle"));
    const std::string content = ReadFile(entry);
    EXPECT_NE(content.find("[Desktop Entry]\n"), std::string::npos);
    EXPECT_NE(content.find("Type=Application\n"), std::string::npos);
    EXPECT_NE(content.find("Exec=\"/opt/my tools/orvelle\"\n"), std::string::npos) << content;
    ASSERT_TRUE(list.RemoveEntry("Orvelle"));
    EXPECT_FALSE(orvelle::test::Exists(entry));
    EXPECT_TRUE(list.RemoveEntry("Orvelle")) << "removing a missing entry is no failure";
}

TEST(XdgStartupListTest, ExecValueQuotesAndEscapesByTheDesktopEntryRules) {
    struct Row {
        const char* path;
        const char* exec;
    };
    const Row rows[] = {
        {"/usr/lib/orvelle/orvelle", "/usr/lib/orvelle/orvelle"},
        {"/opt/a b/orvelle", "\"/opt/a b/orvelle\""},
        {"/opt/100%/orvelle", "/opt/100%%/orvelle"},
        {"/opt/$x/orvelle", "\"/opt/\\\\$x/orvelle\""},
        {"/opt/back\\slash", "\"/opt/back\\\\\\\\slash\""},
        // A line break stays inside the one line of the Exec key.
        {"/opt/new\nline", "\"/opt/new\\nline\""},
        {"/opt/cr\r", "\"/opt/cr\\r\""},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(XdgStartupList::ExecValue(row.path), row.exec) << row.path;
    }
}

TEST(AtomicFileTest, ReplacesContentWithTheGivenModeAndNeverWritesThroughALink) {
    TempEnvironment environment;
    const std::string path = environment.Path("file.txt");
    ASSERT_EQ(WriteFileAtomically(path, "one"), 0);
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600U);
    ASSERT_EQ(WriteFileAtomically(path, "two", 0644), 0);
    EXPECT_EQ(ReadFile(path), "two");

    const std::string target = environment.Path("target.txt");
    const std::string link = environment.Path("link.txt");
    WriteFile(target, "target");
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
    ASSERT_EQ(WriteFileAtomically(link, "new"), 0);
    EXPECT_EQ(ReadFile(target), "target");
    struct stat linkInfo {};
    ASSERT_EQ(lstat(link.c_str(), &linkInfo), 0);
    EXPECT_TRUE(S_ISREG(linkInfo.st_mode)) << "the link itself was replaced";

    std::string content;
    EXPECT_EQ(ReadWholeFile(environment.Path("missing"), content), ENOENT);
    EXPECT_NE(WriteFileAtomically(environment.Path("missing/folder/file"), "x"), 0);
}

TEST(AtomicFileTest, AWriterKilledBeforeItsRenameLeavesNothingAfterTheNextWrite) {
    TempEnvironment environment;
    const std::string path = environment.Path("recently-used.xbel");
    ASSERT_EQ(WriteFileAtomically(path, "old"), 0);
    const auto names = [&] {
        std::set<std::string> found;
        for (const auto& entry : std::filesystem::directory_iterator(environment.Root())) {
            found.insert(entry.path().filename().string());
        }
        return found;
    };
    const auto before = names();
    // Killed where it hurts most: named, flushed, not yet renamed.
    const std::string child = orvelle::test::InChild([&] {
        orvelle::os::posix::SetAtomicWriteFaultPoint([] { ::_exit(9); });
        return std::to_string(WriteFileAtomically(path, "new"));
    });
    EXPECT_NE(child.find("ended abnormally"), std::string::npos) << child;
    EXPECT_EQ(ReadFile(path), "old");
    std::vector<std::string> leftovers;
    for (const auto& name : names()) {
        if (!before.count(name)) {
            leftovers.push_back(name);
        }
    }
    ASSERT_EQ(leftovers.size(), 1U) << "the fault was injected after the name was given";
    EXPECT_EQ(leftovers[0].rfind(".recently-used.xbel.", 0), 0U) << leftovers[0];

    // A writer at work holds its temporary file; it and other files of the folder stay.
    const std::string busy = environment.Path(".recently-used.xbel.abcdefghij.tmp");
    WriteFile(busy, "being written");
    const int held = ::open(busy.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    WriteFile(environment.Path(".other.abcdefghij.tmp"), "someone else's");
    WriteFile(environment.Path(".recently-used.xbel.short.tmp"), "not our name");

    ASSERT_EQ(WriteFileAtomically(path, "newer"), 0);
    EXPECT_EQ(ReadFile(path), "newer");
    EXPECT_FALSE(orvelle::test::Exists(environment.Path(leftovers[0])));
    EXPECT_TRUE(orvelle::test::Exists(busy));
    EXPECT_TRUE(orvelle::test::Exists(environment.Path(".other.abcdefghij.tmp")));
    EXPECT_TRUE(orvelle::test::Exists(environment.Path(".recently-used.xbel.short.tmp")));
    ::close(held);
    EXPECT_EQ(orvelle::os::posix::RemoveAtomicWriteLeftovers(path), 1) << "once its writer is gone";
}

TEST(PosixFileSystemTest, ReadLinesSplitsBothLineEndingsAndReportsAMissingFile) {
    TempEnvironment environment;
    PosixFileSystem files;
    const std::string path = environment.Path("wavpath.txt");
    WriteFile(path, "/home/u/ding one.wav\r\nsecond\n");
    EXPECT_EQ(files.ReadLines(path), (std::vector<std::string>{"/home/u/ding one.wav", "second"}));
    WriteFile(path, "");
    EXPECT_TRUE(files.ReadLines(path).empty());
    try {
        static_cast<void>(files.ReadLines(environment.Path("missing.txt")));
        FAIL() << "a missing file must raise";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.Number(), errors::kFileNotFound);
    }
    EXPECT_TRUE(files.FileExists(path));
    EXPECT_FALSE(files.FileExists(environment.Root())) << "a folder counts as missing";
    EXPECT_TRUE(files.DeleteFile(path));
    EXPECT_FALSE(files.FileExists(path));
}

TEST(PosixProcessInfoTest, DataBesideTheProgramOrAtTheInstalledPathAndUserFilesOnlyInABuildTree) {
    TempEnvironment environment;
    orvelle::test::MakeDirs(environment.Path("build/bin"));
    WriteFile(environment.Path("build/bin/ding.wav"), "RIFF");
    const PosixProcessInfo build(environment.Path("build/bin/orvelle"), "../../../share/orvelle");
    EXPECT_EQ(build.ProgramFolder(), environment.Path("build/bin"));
    EXPECT_EQ(build.ExecutableName(), "orvelle");
    EXPECT_EQ(build.DataFolder(), environment.Path("build/bin"));
    EXPECT_TRUE(build.ProgramFolderKeepsUserFiles());

    // Installed: no data beside the program; even a folder this user may write (root)
    // is shared by every user.
    orvelle::test::MakeDirs(environment.Path("usr/lib/x86_64-linux-gnu/orvelle"));
    const PosixProcessInfo installed(environment.Path("usr/lib/x86_64-linux-gnu/orvelle/orvelle"),
                                     "../../../share/orvelle");
    EXPECT_EQ(installed.DataFolder(), environment.Path("usr/share/orvelle"));
    EXPECT_FALSE(installed.ProgramFolderKeepsUserFiles());
    EXPECT_EQ(installed.UserFilesFolder(), environment.Path("config/orvelle"));
    struct stat info {};
    EXPECT_EQ(stat(environment.Path("config/orvelle").c_str(), &info), 0) << "created on demand";
}

TEST(RegistrySettingsStoreTest, KeepsSettingsWhereThePlatformKeepsThem) {
    SqliteRegistry registry(":memory:");
    RegistrySettingsStore store(registry);
    EXPECT_EQ(store.GetSetting("Orvelle", "PopupKiller", "IsActive", "1"), "1");
    store.SaveSetting("Orvelle", "PopupKiller", "IsActive", "0");
    EXPECT_EQ(store.GetSetting("orvelle", "popupkiller", "isactive", "1"), "0");
    store.SaveSetting("/opt/orvelle", "Settings", "Index12", "2");
    EXPECT_EQ(store.GetSetting("/opt/orvelle", "Settings", "Index12", "3"), "2");
    EXPECT_EQ(store.GetSetting("/opt/other", "Settings", "Index12", "3"), "3")
        << "another program folder has its own options";
    store.SaveSetting("Orvelle", "HomePage", "StartPage", "");
    EXPECT_EQ(store.GetSetting("Orvelle", "HomePage", "StartPage", "about:blank"), "")
        << "a stored empty text is not replaced by the default";

    HKEY key = kNullKey;
    ASSERT_EQ(registry.RegOpenKeyExA(HKEY_CURRENT_USER,
                                     "Software\\VB and VBA Program Settings\\Orvelle\\PopupKiller",
                                     KEY_READ, key),
              ERROR_SUCCESS);
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    ASSERT_EQ(registry.RegQueryValueExA(key, "IsActive", &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, 2U);
    registry.RegCloseKey(key);
}

namespace {

// The cleaning lock's path as the program, a timer, cron and su would each compute it.
std::string LockPathsUnderEveryEnvironment(const std::string& home) {
    ::unsetenv(orvelle::os::posix::FlockCleaningLock::kFolderVariable);
    std::set<std::string> paths;
    const auto add = [&] { paths.insert(orvelle::os::posix::FlockCleaningLock::DefaultPath()); };
    add();
    ::unsetenv("XDG_RUNTIME_DIR");  // cron, su
    add();
    ::setenv("TMPDIR", (home + "/elsewhere").c_str(), 1);
    ::setenv("HOME", "/nonexistent", 1);
    ::setenv("XDG_STATE_HOME", "/nonexistent/state", 1);
    add();
    if (paths.size() != 1) {
        std::string all;
        for (const auto& path : paths) {
            all += path + " ";
        }
        return "several paths: " + all;
    }
    return *paths.begin();
}

std::string AccountHomeForTest() {
    const passwd* entry = ::getpwuid(::getuid());
    return entry != nullptr && entry->pw_dir != nullptr ? entry->pw_dir : "";
}

}  // namespace

TEST(FlockCleaningLockTest, OnePathPerUserWhateverTheEnvironmentInRunUserElseOurStateFolder) {
    orvelle::test::TempEnvironment environment;
    const std::string uid = std::to_string(::getuid());
    const std::string inRunUser = orvelle::test::InPrivateMounts([&]() -> std::string {
        if (auto error = orvelle::test::MountTmpfs("/run/user", 64); !error.empty()) {
            return error;
        }
        ::mkdir(("/run/user/" + uid).c_str(), 0700);
        return LockPathsUnderEveryEnvironment(environment.Root());
    });
    EXPECT_EQ(inRunUser, "/run/user/" + uid + "/orvelle-clean.lock");

    const std::string home = AccountHomeForTest();
    ASSERT_FALSE(home.empty());
    const std::string inState = orvelle::test::InPrivateMounts([&]() -> std::string {
        // No /run/user/<uid> (cron on a system without logind), and the account's home
        // replaced by an empty one for this child only.
        if (auto error = orvelle::test::MountTmpfs("/run/user", 64); !error.empty()) {
            return error;
        }
        if (auto error = orvelle::test::MountTmpfs(home, 1024); !error.empty()) {
            return error;
        }
        std::string path = LockPathsUnderEveryEnvironment(environment.Root());
        struct stat info {};
        if (::lstat((home + "/.local/state/orvelle").c_str(), &info) != 0 ||
            (info.st_mode & 0777) != 0700) {
            return "the folder is not 0700: " + path;
        }
        return path;
    });
    EXPECT_EQ(inState, home + "/.local/state/orvelle/clean.lock");
}
