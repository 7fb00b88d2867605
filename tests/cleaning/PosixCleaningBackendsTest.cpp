#include "FreedesktopTrash.h"
#include "PosixShellFolders.h"
#include "SqliteRegistry.h"
#include "TempEnvironment.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

using namespace orvelle::os;
using namespace orvelle::store;
using namespace orvelle::os::posix;
using namespace orvelle::store;
using orvelle::test::Exists;
using orvelle::test::MakeDirs;
using orvelle::test::ReadFile;
using orvelle::test::TempEnvironment;
using testing::ElementsAre;
using testing::IsEmpty;

namespace fs = std::filesystem;

namespace {

void Put(const std::string& path, const std::string& content = "x") {
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

class PosixShellFoldersTest : public ::testing::Test {
protected:
    void Override(const std::string& name, const std::string& value, std::uint32_t type) {
        HKEY key = kNullKey;
        ASSERT_EQ(registry.RegCreateKeyExA(HKEY_CURRENT_USER, PosixShellFolders::kUserShellFolders,
                                           KEY_SIX_SPECIFIC_RIGHTS, key),
                  ERROR_SUCCESS);
        std::vector<unsigned char> data(value.begin(), value.end());
        data.push_back(0);
        registry.RegSetValueExA(key, name, type, data.data(),
                                static_cast<std::uint32_t>(data.size()));
        registry.RegCloseKey(key);
    }
    std::string Home() { return environment.Path("home"); }

    TempEnvironment environment;
    SqliteRegistry registry{":memory:"};
    PosixShellFolders folders{registry};
};

TEST_F(PosixShellFoldersTest, WithoutOverridesOnlyDocumentsHasALinuxFolder) {
    EXPECT_EQ(folders.SHGetSpecialFolderPathA(CSIDL_PERSONAL), Home() + "/Documents");
    // The whole cache folder is every program's: never what "Internet cache" means.
    for (const int missing : {CSIDL_RECENT, CSIDL_INTERNET_CACHE, CSIDL_FAVORITES, CSIDL_COOKIES,
                              CSIDL_HISTORY, 0x1c}) {
        EXPECT_EQ(folders.SHGetSpecialFolderPathA(missing), std::nullopt) << missing;
    }
}

struct DocumentsCase {
    const char* name;
    const char* line;  // XDG_DOCUMENTS_DIR line of user-dirs.dirs, home written as $HOME
    std::optional<std::string> expected;  // relative to the home folder; nullopt: fails
};

class DocumentsFolderTest : public PosixShellFoldersTest,
                            public ::testing::WithParamInterface<DocumentsCase> {};

TEST_P(DocumentsFolderTest, TheDocumentsFolderFollowsUserDirs) {
    Put(environment.Path("config/user-dirs.dirs"),
        std::string("# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\n") +
            GetParam().line + "\n");
    const auto expected = GetParam().expected;
    EXPECT_EQ(folders.SHGetSpecialFolderPathA(CSIDL_PERSONAL),
              expected ? std::optional<std::string>(Home() + *expected) : std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DocumentsFolderTest,
    ::testing::Values(
        DocumentsCase{"BelowHome", "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"", "/Dokumente"},
        DocumentsCase{"TrailingSeparatorDropped", "XDG_DOCUMENTS_DIR=\"$HOME/Docs/\"", "/Docs"},
        // xdg-user-dirs points a disabled folder at the home folder: never clean that.
        DocumentsCase{"DisabledMeansHome", "XDG_DOCUMENTS_DIR=\"$HOME\"", std::nullopt},
        DocumentsCase{"DisabledWithSlash", "XDG_DOCUMENTS_DIR=\"$HOME/\"", std::nullopt},
        DocumentsCase{"NotSetFallsBack", "XDG_MUSIC_DIR=\"$HOME/Music\"", "/Documents"}),
    [](const auto& rowInfo) { return std::string(rowInfo.param.name); });

TEST_F(PosixShellFoldersTest, TheUsersOverrideComesFirstWithVariablesExpanded) {
    Override("Favorites", "%USERPROFILE%/Bookmarks", REG_EXPAND_SZ);
    Override("History", "/srv/history//", REG_SZ);
    Override("Cookies", "relative/cookies", REG_SZ);
    Override("Cache", "/", REG_SZ);
    Override("Personal", "%HOME%", REG_EXPAND_SZ);
    Override("Recent", "%NO_SUCH_VARIABLE%/Recent", REG_EXPAND_SZ);
    EXPECT_EQ(folders.SHGetSpecialFolderPathA(CSIDL_FAVORITES), Home() + "/Bookmarks");
    EXPECT_EQ(folders.SHGetSpecialFolderPathA(CSIDL_HISTORY), "/srv/history");
    EXPECT_EQ(folders.SHGetSpecialFolderPathA(CSIDL_COOKIES), std::nullopt)
        << "a relative override is no folder";
    EXPECT_EQ(folders.SHGetSpecialFolderPathA(CSIDL_INTERNET_CACHE), std::nullopt);
    EXPECT_EQ(folders.SHGetSpecialFolderPathA(CSIDL_PERSONAL), std::nullopt);
    EXPECT_EQ(folders.SHGetSpecialFolderPathA(CSIDL_RECENT), std::nullopt)
        << "an override that does not expand to a full path is ignored";
}

class FreedesktopTrashTest : public ::testing::Test {
protected:
    // A mounts file listing `tops` (spaces written as \040) next to pseudo file systems.
    std::string MountsFile(const std::vector<std::string>& tops) {
        std::string text = "proc /proc proc rw 0 0\nsysfs /sys sysfs rw 0 0\n";
        for (std::string top : tops) {
            std::string::size_type at = 0;
            while ((at = top.find(' ', at)) != std::string::npos) {
                top.replace(at, 1, "\\040");
            }
            text += "/dev/vdb " + top + " ext4 rw,relatime 0 0\n";
        }
        const std::string path = environment.Path("mounts");
        Put(path, text);
        return path;
    }
    void FillTrash(const std::string& trash) {
        Put(trash + "/files/a.txt");
        Put(trash + "/files/.hidden");
        Put(trash + "/files/folder/deep/b.txt");
        Put(trash + "/info/a.txt.trashinfo", "[Trash Info]\nPath=/x/a.txt\n");
        Put(trash + "/info/folder.trashinfo");
        Put(trash + "/directorysizes", "4096 1 folder\n");
    }

    TempEnvironment environment;
    const std::string uid = std::to_string(getuid());
};

TEST_F(FreedesktopTrashTest, EmptiesTheHomeTrashAndNeverFollowsALinkOutOfIt) {
    const std::string trash = environment.Path("data/Trash");
    FillTrash(trash);
    Put(environment.Path("home/Outside/precious"), "keep");
    ASSERT_EQ(symlink(environment.Path("home/Outside").c_str(), (trash + "/files/link").c_str()),
              0);
    FreedesktopTrash bin(MountsFile({}));
    EXPECT_EQ(bin.Location(), trash);
    EXPECT_TRUE(bin.EmptyAll());
    EXPECT_THAT(Below(trash), ElementsAre("files", "info"));
    EXPECT_EQ(ReadFile(environment.Path("home/Outside/precious")), "keep");
    EXPECT_TRUE(bin.EmptyAll()) << "an empty bin is no error";
}

TEST_F(FreedesktopTrashTest, EmptiesTheTrashOfEveryMountWhereItIsAProperFolder) {
    const std::string top = environment.Path("media/usb stick");
    const std::string sharedTop = environment.Path("media/shared");
    const std::string looseTop = environment.Path("media/loose");
    const std::string linkedTop = environment.Path("media/linked");
    FillTrash(top + "/.Trash-" + uid);
    FillTrash(sharedTop + "/.Trash/" + uid);
    ASSERT_EQ(chmod((sharedTop + "/.Trash").c_str(), 01777), 0);
    FillTrash(looseTop + "/.Trash/" + uid);  // .Trash without the sticky bit: not used
    ASSERT_EQ(chmod((looseTop + "/.Trash").c_str(), 0777), 0);
    FillTrash(environment.Path("home/elsewhere"));
    MakeDirs(linkedTop);
    ASSERT_EQ(
        symlink(environment.Path("home/elsewhere").c_str(), (linkedTop + "/.Trash-" + uid).c_str()),
        0);
    FreedesktopTrash bin(MountsFile({top, sharedTop, looseTop, linkedTop}));
    EXPECT_THAT(bin.TrashFolders(),
                ElementsAre(top + "/.Trash-" + uid, sharedTop + "/.Trash/" + uid));
    EXPECT_TRUE(bin.EmptyAll());
    EXPECT_THAT(Below(top + "/.Trash-" + uid), ElementsAre("files", "info"));
    EXPECT_THAT(Below(sharedTop + "/.Trash/" + uid), ElementsAre("files", "info"));
    EXPECT_EQ(Below(looseTop + "/.Trash/" + uid).size(), 10U);
    EXPECT_EQ(Below(environment.Path("home/elsewhere")).size(), 10U);
}

TEST_F(FreedesktopTrashTest, AFileInUseStaysAndTheAnswerSaysSo) {
    const std::string trash = environment.Path("data/Trash");
    FillTrash(trash);
    const int fd = open((trash + "/files/folder/deep/b.txt").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    FreedesktopTrash bin(MountsFile({}));
    EXPECT_FALSE(bin.EmptyAll());
    close(fd);
    EXPECT_THAT(Below(trash + "/files"), ElementsAre("folder", "folder/deep", "folder/deep/b.txt"));
    EXPECT_THAT(Below(trash + "/info"), ElementsAre("folder.trashinfo"))
        << "the record of what is still in the trash stays with it";
    EXPECT_THAT(bin.TakeFailures(), IsEmpty()) << "a file in use is kept, not a failure";
    EXPECT_FALSE(Exists(trash + "/directorysizes"));
}

TEST(FreedesktopTrashMountsTest, MountPointsAreDecodedAndPseudoFileSystemsLeftOut) {
    TempEnvironment environment;
    const std::string path = environment.Path("mounts");
    Put(path,
        "/dev/vda1 / ext4 rw 0 0\nproc /proc proc rw 0 0\n"
        "/dev/sdb1 /media/My\\040Disk\\134x vfat rw 0 0\nsystemd-1 /mnt/auto autofs rw 0 0\n"
        "tmpfs /run/user/1000 tmpfs rw 0 0\n/dev/vda1 / ext4 rw 0 0\nbroken line\n");
    EXPECT_THAT(FreedesktopTrash::MountPoints(path),
                ElementsAre("/", "/media/My Disk\\x", "/run/user/1000"));
    EXPECT_THAT(FreedesktopTrash::MountPoints(environment.Path("missing")), IsEmpty());
}

}  // namespace
