#include "BrowserScript.h"
#include "FakeDesktop.h"
#include "FakeOs.h"
#include "FakeStore.h"
#include "OS.h"
#include "PosixTempFile.h"
#include "TempEnvironment.h"
#include "XdgShellExecute.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

using namespace orvelle;
using namespace orvelle::os;
using namespace orvelle::desktop;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

TEST(CutAfterExeTest, KeepsThePathUpToItsFirstExeInAnyLetterCase) {
    struct Row {
        const char* found;
        const char* kept;
    };
    const Row rows[] = {
        {"C:\\PROGRA~1\\INTERN~1\\IEXPLORE.EXE -nohome", "C:\\PROGRA~1\\INTERN~1\\IEXPLORE.EXE"},
        {"c:\\program files\\browser\\browser.exe %1", "c:\\program files\\browser\\browser.exe"},
        {"C:\\Apps\\Viewer.Exe", "C:\\Apps\\Viewer.Exe"},
        {"  C:\\a.exe.bak\\b.EXE  ", "C:\\a.exe"},  // the first one counts
        {"/usr/share/applications/chromium.desktop", "/usr/share/applications/chromium.desktop"},
        {"  /usr/bin/firefox-esr  ", "/usr/bin/firefox-esr"},
        {"", ""},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(shell::CutAfterExe(row.found), row.kept) << row.found;
    }
}

class OpenWebPageTest : public ::testing::Test {
protected:
    void Open(const std::string& address) {
        shell::OpenWebPage({tempFile, shellExecute, messageBox}, 0x2a00007, address, "htm");
    }

    os::fake::FakeTempFile tempFile;
    desktop::fake::FakeShellExecute shellExecute;
    desktop::fake::FakeMessageBox messageBox;
};

TEST_F(OpenWebPageTest, TheAddressGoesQuotedToTheAssociatedProgramAndTheFileGoes) {
    shellExecute.associated = "  C:\\Browser\\BROWSER.EXE \"%1\"  ";
    Open("https://orvelle.example.org/a page");
    EXPECT_THAT(tempFile.created, ElementsAre("/run/user/1000/temphtm.htm"));
    EXPECT_THAT(shellExecute.looked, ElementsAre("/run/user/1000/temphtm.htm"));
    ASSERT_EQ(shellExecute.started.size(), 1U);
    const auto& started = shellExecute.started[0];
    EXPECT_EQ(started.parent, 0x2a00007U);
    EXPECT_EQ(started.operation, "open");
    EXPECT_EQ(started.file, "C:\\Browser\\BROWSER.EXE");
    EXPECT_EQ(started.parameters, "\"https://orvelle.example.org/a page\"");
    EXPECT_EQ(started.showCommand, SW_SHOWNOACTIVATE);
    EXPECT_THAT(tempFile.removed, ElementsAre("/run/user/1000/temphtm.htm"));
    EXPECT_TRUE(tempFile.files.empty());
    EXPECT_THAT(messageBox.shown, IsEmpty());
}

TEST_F(OpenWebPageTest, EachFailureEndsInItsOwnMessage) {
    struct Row {
        const char* name;
        std::string tempFolder;
        bool failCreate;
        int findResult;
        int executeResult;
        const char* text;
        const char* title;
        MessageIcon icon;
    };
    const Row rows[] = {
        {"no temporary folder", "", false, kShellSuccess, kShellSuccess, "Can not create file.",
         "OpenWith", MessageIcon::Information},
        {"no program for web pages", "/run/user/1000/", false, SE_ERR_NOASSOC, kShellSuccess,
         "Could not find associated application", "Browser Not Found", MessageIcon::Exclamation},
        {"the program did not start", "/run/user/1000/", false, kShellSuccess, SE_ERR_FNF,
         "Page not Opened", "URL Failed", MessageIcon::Exclamation},
        {"the file cannot be made", "/run/user/1000/", true, kShellSuccess, kShellSuccess,
         "70: Permission denied", "OpenWith", MessageIcon::Information},
    };
    for (const auto& row : rows) {
        tempFile = os::fake::FakeTempFile();
        tempFile.privateFolder = row.tempFolder;
        tempFile.failCreate = row.failCreate;
        shellExecute = desktop::fake::FakeShellExecute();
        shellExecute.findResult = row.findResult;
        shellExecute.executeResult = row.executeResult;
        messageBox.shown.clear();
        Open("https://orvelle.example.org");
        ASSERT_EQ(messageBox.shown.size(), 1U) << row.name;
        EXPECT_EQ(messageBox.shown[0].text, row.text) << row.name;
        EXPECT_EQ(messageBox.shown[0].title, row.title) << row.name;
        EXPECT_EQ(messageBox.shown[0].icon, row.icon) << row.name;
        EXPECT_TRUE(tempFile.files.empty()) << row.name << ": no file stays behind";
        if (row.findResult <= 32 || row.tempFolder.empty() || row.failCreate) {
            EXPECT_THAT(shellExecute.started, IsEmpty()) << row.name;
        }
    }
}

// The real desktop backends in a private home: what a user gets.
class OpenWebPageOnThisDesktopTest : public ::testing::Test {
protected:
    OpenWebPageOnThisDesktopTest() {
        environment.Set("XDG_CONFIG_DIRS", environment.Path("etc-xdg"));
        environment.Set("XDG_DATA_DIRS", environment.Path("system"));
        environment.Set("XDG_CURRENT_DESKTOP", std::nullopt);
    }
    void Open(const std::string& address) {
        shell::OpenWebPage({tempFile, shellExecute, messageBox}, 0, address, "htm");
    }

    test::TempEnvironment environment;
    os::posix::PosixTempFile tempFile;
    desktop::xdg::XdgShellExecute shellExecute;
    desktop::fake::FakeMessageBox messageBox;
};

TEST_F(OpenWebPageOnThisDesktopTest, AnAddressWithSpacesReachesTheBrowserAsOneArgument) {
    const test::BrowserScript browser(environment.Path("bin"));
    browser.WriteDesktopFile(environment.Path("data/applications"), "fake-browser.desktop");
    test::WriteFile(environment.Path("config/mimeapps.list"),
                    "[Default Applications]\ntext/html=fake-browser.desktop;\n");
    const std::string address = "https://orvelle.example.org/read me.html?a=b c&d='e'";
    Open(address);
    EXPECT_THAT(messageBox.shown, IsEmpty());
    bool started = false;
    EXPECT_THAT(browser.WaitForArguments(started), ElementsAre(address));
    EXPECT_TRUE(started);
    EXPECT_FALSE(test::Exists(environment.Path("tmp/temphtm.htm")));
}

TEST_F(OpenWebPageOnThisDesktopTest, WithoutAnyBrowserTheUserIsToldSoAndNoFileStays) {
    Open("https://orvelle.example.org");
    ASSERT_EQ(messageBox.shown.size(), 1U);
    EXPECT_EQ(messageBox.shown[0].title, "Browser Not Found");
    EXPECT_EQ(messageBox.shown[0].text, "Could not find associated application");
    EXPECT_FALSE(test::Exists(environment.Path("tmp/temphtm.htm")));
}

}  // namespace

namespace {

TEST_F(OpenWebPageOnThisDesktopTest, ANameTakenInTheSharedTemporaryFolderStopsNoWebLink) {
    // What another user of a shared /tmp could leave there, and we could not remove.
    test::MakeDirs(environment.Path("tmp/temphtm.htm/inside"));
    const test::BrowserScript browser(environment.Path("bin"));
    browser.WriteDesktopFile(environment.Path("data/applications"), "fake-browser.desktop");
    test::WriteFile(environment.Path("config/mimeapps.list"),
                    "[Default Applications]\ntext/html=fake-browser.desktop;\n");
    Open("https://orvelle.example.org");
    EXPECT_THAT(messageBox.shown, IsEmpty());
    bool started = false;
    EXPECT_THAT(browser.WaitForArguments(started), ElementsAre("https://orvelle.example.org"));
    EXPECT_FALSE(test::Exists(environment.Path("runtime/temphtm.htm")));
}

TEST(PrivateFolderTest, OnlyAFolderThisUserAloneCanWriteIsUsed) {
    const std::string uid = std::to_string(::geteuid());
    struct Row {
        const char* name;
        bool runtime;                                     // XDG_RUNTIME_DIR set
        std::function<void(const std::string&)> prepare;  // given the usual folder's path
        bool usual;                                       // the result is $TMPDIR/orvelle-<uid>/
    };
    const Row rows[] = {
        {"the session's runtime folder", true, [](const std::string&) {}, false},
        {"no runtime folder: our own", false, [](const std::string&) {}, true},
        {"ours already", false, [](const std::string& usual) { ::mkdir(usual.c_str(), 0700); },
         true},
        {"a link in its place", false,
         [](const std::string& usual) {
             test::MakeDirs(usual + "-elsewhere");
             static_cast<void>(::symlink((usual + "-elsewhere").c_str(), usual.c_str()));
         },
         false},
        {"a folder others can write", false,
         [](const std::string& usual) {
             ::mkdir(usual.c_str(), 0700);
             ::chmod(usual.c_str(), 0777);
         },
         false},
    };
    for (const auto& row : rows) {
        test::TempEnvironment environment;
        if (!row.runtime) {
            environment.Set("XDG_RUNTIME_DIR", std::nullopt);
        }
        const std::string usual = environment.Path("tmp/orvelle-" + uid);
        row.prepare(usual);
        const std::string folder = os::posix::PosixTempFile().PrivateFolder();
        ASSERT_FALSE(folder.empty()) << row.name;
        if (row.runtime) {
            EXPECT_EQ(folder, environment.Path("runtime/")) << row.name;
        } else {
            EXPECT_EQ(folder == usual + "/", row.usual) << row.name << ": " << folder;
        }
        struct stat info {};
        ASSERT_EQ(::lstat(folder.substr(0, folder.size() - 1).c_str(), &info), 0) << row.name;
        EXPECT_TRUE(S_ISDIR(info.st_mode)) << row.name;
        EXPECT_EQ(info.st_mode & 0077, 0U) << row.name;
        EXPECT_EQ(info.st_uid, ::geteuid()) << row.name;
    }
}

}  // namespace
