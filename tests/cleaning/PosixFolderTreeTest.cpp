// The cleaning walk on real folders. Tests that could reach outside their own tree if
// the walk went wrong (a link to "/", the root and home refusals, other mounts) run in
// a child process inside a private mount namespace, the dangerous ones chrooted too.

#include "CleaningLog.h"
#include "CleaningTestSupport.h"
#include "FakeDesktop.h"
#include "FakeOs.h"
#include "FakeShellFolders.h"
#include "FakeStore.h"
#include "FakeTraceCatalog.h"
#include "FolderErasers.h"
#include "OpenFileSet.h"
#include "PosixFolderTree.h"
#include "PrivateMounts.h"
#include "TempEnvironment.h"
#include "os/RuntimeError.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>

using namespace orvelle;
using namespace orvelle::cleaning;
using namespace orvelle::cleaning::test;
using namespace orvelle::os;
using namespace orvelle::desktop;
using namespace orvelle::traces;
using orvelle::test::Exists;
using orvelle::test::MakeDirs;
using orvelle::test::TempEnvironment;
using testing::ElementsAre;
using testing::HasSubstr;
using testing::IsEmpty;

namespace fs = std::filesystem;

namespace {

// Writes a file, creating the folders above it.
void WriteFile(const std::string& path, const std::string& content) {
    MakeDirs(fs::path(path).parent_path().string());
    orvelle::test::WriteFile(path, content);
}

std::vector<std::string> Below(const std::string& root) {
    std::vector<std::string> paths;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        paths.push_back(entry.path().string().substr(root.size() + 1));
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

// One walk with the real backend, logged into memory.
struct Walk {
    os::posix::PosixFolderTree tree;
    os::fake::FakeShellFolders special;
    os::fake::FakeTempPath temp;
    desktop::fake::FakeMessageBox box;
    MemoryLogSink sink;
    CleaningLog log{sink};
    os::fake::FakeEventPump pump;
    FakeHost host;
    traces::fake::FakeTraceCatalog catalog;
    CleaningTraces traces{catalog, log};
    FolderErasers erasers{tree, special, temp, box, log, pump, host, traces};

    void Clean(const std::string& root) { erasers.DeleteFolderTree(root); }
};

class PosixWalkTest : public ::testing::Test {
protected:
    std::string Path(const std::string& relative) { return environment.Path(relative); }

    TempEnvironment environment;
    Walk walk;
};

TEST_F(PosixWalkTest, TheHistoryFolderKeepsOnlyItsHiddenTopFile) {
    const std::string history = Path("home/History");
    WriteFile(history + "/a.txt", "a");
    WriteFile(history + "/.h.dat", "h");
    MakeDirs(history + "/S/.deeper");
    WriteFile(history + "/S/.hidden", "x");
    WriteFile(history + "/S/readonly.txt", "r");
    WriteFile(history + "/S/.deeper/\nodd name \xff", "o");
    ASSERT_EQ(chmod((history + "/S/readonly.txt").c_str(), 0444), 0);
    walk.Clean(history);
    EXPECT_THAT(Below(history), ElementsAre(".h.dat"));
    EXPECT_EQ(walk.sink.text, "");
    EXPECT_EQ(walk.pump.calls, 4);
}

TEST_F(PosixWalkTest, AMissingFolderIsReportedAsAMissingPath) {
    walk.Clean(Path("home/NoSuchFolder"));
    EXPECT_THAT(walk.sink.Runs(), ElementsAre(LogRun{kLogRed, "Path not found\r\n"}));
}

TEST_F(PosixWalkTest, FilesOpenInAnyProcessKeepTheirFoldersAndTheOthersGo) {
    const std::string root = Path("tmp/clean");
    WriteFile(root + "/A/B/mine.log", "held by this process");
    WriteFile(root + "/A/B/x", "x");
    WriteFile(root + "/A/y", "y");
    WriteFile(root + "/C/theirs.db", "held by another process");
    WriteFile(root + "/D/z", "z");
    const int mine = open((root + "/A/B/mine.log").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(mine, 0);

    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t other = fork();
    ASSERT_GE(other, 0);
    if (other == 0) {
        const int held = open((root + "/C/theirs.db").c_str(), O_RDONLY);
        static_cast<void>(write(ready[1], held >= 0 ? "y" : "n", 1));
        pause();
        _exit(0);
    }
    char answer = 0;
    ASSERT_EQ(read(ready[0], &answer, 1), 1);
    ASSERT_EQ(answer, 'y');

    walk.Clean(root);
    kill(other, SIGKILL);
    waitpid(other, nullptr, 0);
    close(mine);
    close(ready[0]);
    close(ready[1]);
    EXPECT_THAT(Below(root), ElementsAre("A", "A/B", "A/B/mine.log", "C", "C/theirs.db"));
    EXPECT_EQ(walk.sink.text, "") << "a file in use is skipped without an entry";
}

TEST_F(PosixWalkTest, LinksAreRemovedAsLinksAndWhatTheyPointToIsUntouched) {
    const std::string outside = Path("home/Outside");
    for (int i = 0; i < 20; ++i) {
        WriteFile(outside + "/file" + std::to_string(i), "keep");
    }
    WriteFile(outside + "/sub/deep", "keep");
    const std::string root = Path("tmp/clean");
    MakeDirs(root + "/sub");
    ASSERT_EQ(symlink(outside.c_str(), (root + "/to-folder").c_str()), 0);
    ASSERT_EQ(symlink(outside.c_str(), (root + "/sub/to-folder").c_str()), 0);
    ASSERT_EQ(symlink((outside + "/file0").c_str(), (root + "/sub/to-file").c_str()), 0);
    ASSERT_EQ(symlink("dangling", (root + "/sub/broken").c_str()), 0);
    walk.Clean(root);
    EXPECT_THAT(Below(root), IsEmpty());
    EXPECT_EQ(Below(outside).size(), 22U);
    EXPECT_EQ(orvelle::test::ReadFile(outside + "/file0"), "keep");

    // A step's folder that is itself a link is not followed.
    ASSERT_EQ(symlink(outside.c_str(), Path("tmp/linked-root").c_str()), 0);
    walk.Clean(Path("tmp/linked-root"));
    walk.Clean(Path("tmp/linked-root/"));
    EXPECT_EQ(Below(outside).size(), 22U);
    const auto runs = walk.sink.Runs();
    ASSERT_EQ(runs.size(), 1U);
    EXPECT_THAT(runs[0].text, HasSubstr("is a symbolic link"));
}

TEST_F(PosixWalkTest, SocketsAndFifosStayAndSoDoTheirFolders) {
    const std::string root = Path("tmp/clean");
    MakeDirs(root + "/pipes");
    MakeDirs(root + "/sockets");
    WriteFile(root + "/pipes/plain", "x");
    WriteFile(root + "/gone/plain", "x");
    ASSERT_EQ(mkfifo((root + "/pipes/fifo").c_str(), 0600), 0);
    const int socketFd = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(socketFd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketPath = root + "/sockets/s";
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
    ASSERT_EQ(bind(socketFd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    walk.Clean(root);
    close(socketFd);
    EXPECT_THAT(Below(root), ElementsAre("pipes", "pipes/fifo", "sockets", "sockets/s"));
}

TEST_F(PosixWalkTest, AFolderTheLookupDidNotProduceIsRefused) {
    os::posix::PosixFolderTree tree;
    for (const std::string& path : {std::string(), std::string("tmp"), std::string("./tmp")}) {
        try {
            static_cast<void>(tree.OpenRoot(path));
            ADD_FAILURE() << "opened \"" << path << "\"";
        } catch (const RuntimeError& error) {
            EXPECT_THAT(error.Description(), HasSubstr("Not cleaned")) << path;
        }
    }
}

TEST_F(PosixWalkTest, ADeepTreeGoesWhole) {
    std::string folder = Path("tmp/clean");
    for (int depth = 0; depth < 300; ++depth) {
        folder += "/d";
    }
    WriteFile(folder + "/leaf", "x");
    walk.Clean(Path("tmp/clean"));
    EXPECT_THAT(Below(Path("tmp/clean")), IsEmpty());
    EXPECT_EQ(walk.sink.text, "");
}

// A chain of `depth` folders "d" below the working folder, a file in each, built
// with relative names only (the full path is far longer than PATH_MAX).
std::string BuildChain(int depth) {
    for (int level = 0; level < depth; ++level) {
        if (::mkdir("d", 0700) != 0 || ::chdir("d") != 0) {
            return "cannot build level " + std::to_string(level) + ": " + std::strerror(errno);
        }
        const int fd = ::open("f", O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0) {
            return std::string("cannot write a file: ") + std::strerror(errno);
        }
        ::close(fd);
    }
    return {};
}

TEST_F(PosixWalkTest, TenThousandLevelsGoWholeWithinTwoHundredAndFiftySixDescriptors) {
    const std::string result = orvelle::test::InPrivateMounts([&]() -> std::string {
        // On a file system in memory: twenty thousand folders on a busy disk take a minute.
        if (auto error = orvelle::test::MountTmpfs(Path("tmp"), 256 * 1024); !error.empty()) {
            return error;
        }
        MakeDirs(Path("tmp/clean"));
        MakeDirs(Path("tmp/inner"));
        const rlimit limit{256, 256};
        if (::setrlimit(RLIMIT_NOFILE, &limit) != 0) {
            return std::string("setrlimit: ") + std::strerror(errno);
        }
        for (const char* top : {"tmp/clean", "tmp/inner"}) {
            if (::chdir(Path(top).c_str()) != 0) {
                return "chdir";
            }
            if (auto error = BuildChain(10000); !error.empty()) {
                return error;
            }
        }
        if (::chdir("/") != 0) {
            return "chdir /";
        }
        // The cleaning walk, level by level.
        walk.Clean(Path("tmp/clean"));
        if (!walk.sink.text.empty()) {
            return "the log says: " + walk.sink.text.substr(0, 200);
        }
        // The backend's own removal of a folder with everything in it.
        os::posix::PosixFolderTree tree;
        if (!tree.OpenRoot(Path("tmp/inner"))->DeleteFolder("d")) {
            return "DeleteFolder left something";
        }
        for (const char* top : {"tmp/clean", "tmp/inner"}) {
            if (!fs::is_empty(Path(top))) {
                return std::string(top) + " is not empty";
            }
        }
        return "ok";
    });
    EXPECT_EQ(result, "ok");
}

TEST(OpenFileSetTest, SeesFilesOpenInOtherProcessesOnlyWhileTheyAreOpen) {
    TempEnvironment environment;
    const std::string path = environment.Path("tmp/held");
    WriteFile(path, "x");
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_FALSE(os::posix::OpenFileSet::Scan().Contains(info.st_dev, info.st_ino));
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    const auto open = os::posix::OpenFileSet::Scan();
    EXPECT_TRUE(open.Contains(info.st_dev, info.st_ino));
    EXPECT_TRUE(open.AnyOn(info.st_dev));
    close(fd);
    EXPECT_FALSE(os::posix::OpenFileSet::Scan().Contains(info.st_dev, info.st_ino));
    EXPECT_EQ(os::posix::OpenFileSet::Scan(environment.Path("no-proc")).Size(), 0U);
}

// ---- In a child process: a private mount namespace, and for the dangerous ones a jail.

// Collects failures in the child, where GoogleTest's assertions cannot report.
struct ChildChecks {
    int failures = 0;
    void Expect(bool ok, const std::string& what) {
        if (!ok) {
            ++failures;
            std::fprintf(stderr, "child check failed: %s\n", what.c_str());
        }
    }
};

constexpr int kNoNamespace = 77;

// Runs `body` in a child with its own mount namespace (made with a user namespace
// when not root), chrooted into `jail` unless it is empty. Returns the child's exit
// code; kNoNamespace with `why` filled when the system allows no namespace.
int RunIsolated(const std::string& jail, const std::function<int()>& body, std::string& why) {
    int report[2];
    if (pipe(report) != 0) {
        why = "pipe failed";
        return kNoNamespace;
    }
    const uid_t uid = geteuid();
    const gid_t gid = getegid();
    const pid_t child = fork();
    if (child == 0) {
        close(report[0]);
        const auto fail = [&](const char* step) {
            const std::string text = std::string(step) + ": " + std::strerror(errno);
            static_cast<void>(write(report[1], text.data(), text.size()));
            _exit(kNoNamespace);
        };
        if (uid == 0) {
            if (unshare(CLONE_NEWNS) != 0) {
                fail("unshare(CLONE_NEWNS)");
            }
        } else {
            if (unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) {
                fail("unshare(CLONE_NEWUSER | CLONE_NEWNS) as a user");
            }
            std::ofstream("/proc/self/setgroups") << "deny";
            std::ofstream("/proc/self/uid_map") << "0 " << uid << " 1";
            std::ofstream("/proc/self/gid_map") << "0 " << gid << " 1";
        }
        if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
            fail("making the mounts private");
        }
        if (!jail.empty() && (chroot(jail.c_str()) != 0 || chdir("/") != 0)) {
            fail("chroot");
        }
        close(report[1]);
        std::fflush(stderr);
        _exit(body());
    }
    close(report[1]);
    char text[256] = {};
    const ssize_t length = read(report[0], text, sizeof text - 1);
    close(report[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (length > 0) {
        why = std::string(text, static_cast<std::size_t>(length));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

#define RUN_ISOLATED(jail, body)                                                               \
    do {                                                                                       \
        std::string why;                                                                       \
        const int code = RunIsolated(jail, body, why);                                         \
        if (code == kNoNamespace) {                                                            \
            GTEST_SKIP()                                                                       \
                << "this system allows no private mounts (" << why                             \
                << "; or see the child's message); the test needs them so that a faulty walk " \
                   "could not reach real files";                                               \
        }                                                                                      \
        EXPECT_EQ(code, 0) << "see the child's failed checks above";                           \
    } while (false)

TEST_F(PosixWalkTest, InAJailALinkToTheRootIsRemovedAndTheRootHomeAndAboveAreRefused) {
    const std::string jail = Path("jail");
    WriteFile(jail + "/sentinel", "the root's own file");
    WriteFile(jail + "/home/u/personal", "the home's own file");
    WriteFile(jail + "/tree/sub/file", "x");
    ASSERT_EQ(symlink("/", (jail + "/tree/sub/to-root").c_str()), 0);
    ASSERT_EQ(symlink("/", (jail + "/tree/to-root").c_str()), 0);
    ASSERT_EQ(symlink("/home/u", (jail + "/tree/to-home").c_str()), 0);

    RUN_ISOLATED(jail, [] {
        ChildChecks check;
        setenv("HOME", "/home/u", 1);
        os::posix::PosixFolderTree tree;
        for (const char* refused :
             {"/", "//", "/home", "/home/u", "/home/u/", "/home/../home/u", "/tree/to-home"}) {
            try {
                static_cast<void>(tree.OpenRoot(refused));
                check.Expect(false, std::string("opened ") + refused);
            } catch (const RuntimeError& error) {
                check.Expect(error.Description().rfind("Not cleaned: ", 0) == 0,
                             std::string("refusal of ") + refused + ": " + error.Description());
            }
        }
        // The temporary folder "/" loses its separator and leaves nothing to clean.
        Walk temp;
        temp.temp.path = "/";
        temp.erasers.EraseWindowsTemp("Erasing Windows Temporary Files");
        const auto runs = temp.sink.Runs();
        check.Expect(runs.size() == 3 && runs[1].colour == kLogRed,
                     "the refusal is one red entry between the start and finish entries");
        // A shell folder pointed at an ancestor of the home folder.
        Walk personal;
        personal.special.folders[CSIDL_PERSONAL] = "/home";
        personal.erasers.EraseMyDocuments("Erasing My Documents Files");
        check.Expect(personal.sink.text.find("holds your home folder") != std::string::npos,
                     "the home's ancestor is refused by name: " + personal.sink.text);
        check.Expect(Exists("/sentinel") && Exists("/home/u/personal"), "nothing was deleted");

        Walk jailed;
        jailed.Clean("/tree");
        check.Expect(Below("/tree").empty(), "the tree is emptied, its links included");
        check.Expect(Exists("/sentinel") && Exists("/home/u/personal"),
                     "nothing behind the links is touched");
        return check.failures;
    });
}

TEST_F(PosixWalkTest, AnotherFileSystemOrABindMountInsideTheTreeIsNotEntered) {
    const std::string root = Path("tmp/clean");
    const std::string outside = Path("home/Outside");
    WriteFile(outside + "/precious", "keep");
    WriteFile(root + "/a/plain", "x");
    MakeDirs(root + "/a/tmpfs");
    MakeDirs(root + "/b/bound");
    WriteFile(root + "/c/plain", "x");

    RUN_ISOLATED(std::string(), [&] {
        ChildChecks check;
        if (mount("none", (root + "/a/tmpfs").c_str(), "tmpfs", 0, nullptr) != 0 ||
            mount(outside.c_str(), (root + "/b/bound").c_str(), nullptr, MS_BIND, nullptr) != 0) {
            std::fprintf(stderr, "mounting in the private namespace failed: %s\n",
                         std::strerror(errno));
            return kNoNamespace;
        }
        WriteFile(root + "/a/tmpfs/on-tmpfs", "keep");
        Walk mounted;
        mounted.Clean(root);
        check.Expect(Exists(root + "/a/tmpfs/on-tmpfs"), "the tmpfs keeps its file");
        check.Expect(Exists(root + "/b/bound/precious"), "the bind mount keeps its file");
        check.Expect(!Exists(root + "/a/plain") && !Exists(root + "/c"), "everything else goes");
        check.Expect(mounted.sink.text.empty(), "a mount is kept without an entry");
        return check.failures;
    });
    EXPECT_EQ(orvelle::test::ReadFile(outside + "/precious"), "keep");
}

}  // namespace
