#include "BrowserScript.h"
#include "DesktopEntry.h"
#include "PosixSystemInfo.h"
#include "PosixTempFile.h"
#include "TempEnvironment.h"
#include "WindowsVersionName.h"
#include "XdgMime.h"
#include "XdgShellExecute.h"
#include "os/RuntimeError.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace orvelle::os;
using namespace orvelle::desktop;
using namespace orvelle::desktop::xdg;
using namespace orvelle::os::posix;
using orvelle::test::BrowserScript;
using orvelle::test::MakeDirs;
using orvelle::test::ReadFile;
using orvelle::test::TempEnvironment;
using orvelle::test::WriteFile;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

TEST(WindowsVersionNameTest, TheProgramsNamesForEachVersionRecord) {
    struct Row {
        std::uint32_t platform, major, minor;
        const char* name;
    };
    const Row rows[] = {
        {1, 4, 0, "Windows 95"},
        {1, 4, 10, "Windows 98"},
        {1, 4, 90, ""},  // a consumer version it has no name for
        {2, 3, 51, "Windows NT 3.51"},
        {2, 4, 0, "Windows NT 4.0"},
        {2, 5, 0, "Windows 2000"},
        {2, 5, 1, "Windows 2000"},  // the minor version never counts on the NT line
        {2, 5, 2, "Windows 2000"},
        {2, 6, 0, "Windows XP"},
        {2, 10, 0, ""},
        {0, 3, 10, "Failed"},
        {3, 5, 0, "Failed"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(WindowsVersionName(row.platform, row.major, row.minor), row.name)
            << row.platform << ' ' << row.major << '.' << row.minor;
    }
}

TEST(PosixSystemInfoTest, OsReleaseNamesWithTheirQuoting) {
    struct Row {
        const char* content;
        const char* name;
    };
    const Row rows[] = {
        {"NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n",
         "Debian GNU/Linux 12 (bookworm)"},
        {"PRETTY_NAME='Single quoted \\ kept'\n", "Single quoted \\ kept"},
        {"PRETTY_NAME=\"Say \\\"hi\\\" \\$HOME\"\n", "Say \"hi\" $HOME"},
        {"PRETTY_NAME=Unquoted # comment\n", "Unquoted"},
        {"# PRETTY_NAME=commented out\nNAME=Alpine\nVERSION=3.19\n", "Alpine 3.19"},
        {"NAME=Gentoo\n", "Gentoo"},
        {"PRETTY_NAME=\"\"\nNAME=Arch\n", "Arch"},
        {"ID=unknown\n", ""},
        {"", ""},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(OsReleaseName(row.content), row.name) << row.content;
    }
}

TEST(PosixSystemInfoTest, SystemNameComesFromTheFirstOsReleaseFileThatNamesIt) {
    TempEnvironment environment;
    WriteFile(environment.Path("unnamed"), "ID=x\n");
    WriteFile(environment.Path("os-release"), "PRETTY_NAME=\"Orvelle Test OS 1\"\n");
    ::symlink(environment.Path("os-release").c_str(), environment.Path("linked").c_str());
    EXPECT_EQ(PosixSystemInfo({environment.Path("missing"), environment.Path("unnamed"),
                               environment.Path("linked")})
                  .OsName(),
              "Orvelle Test OS 1")
        << "a missing or nameless file is passed over, and a link is followed";
    const std::string fallback = PosixSystemInfo({environment.Path("missing")}).OsName();
    EXPECT_THAT(fallback, ::testing::StartsWith("Linux ")) << "the kernel names the system";
}

TEST(PosixSystemInfoTest, LocalAddressPrefersANetworkThatIsUpOverTheLoopback) {
    struct Row {
        const char* name;
        std::vector<InterfaceAddress> addresses;
        const char* chosen;
    };
    const Row rows[] = {
        {"loopback listed first",
         {{"127.0.0.1", true, true}, {"192.168.1.20", true, false}},
         "192.168.1.20"},
        {"a network that is down",
         {{"10.0.0.5", false, false}, {"127.0.0.1", true, true}},
         "127.0.0.1"},
        {"two networks", {{"10.0.0.5", true, false}, {"172.16.0.9", true, false}}, "10.0.0.5"},
        {"nothing at all", {}, "0.0.0.0"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(ChooseLocalIp(row.addresses), row.chosen) << row.name;
    }
    const std::string local = PosixSystemInfo().LocalIp();
    in_addr parsed{};
    EXPECT_EQ(::inet_pton(AF_INET, local.c_str(), &parsed), 1) << local << " is dotted decimal";
}

TEST(DesktopEntryTest, ExecLinesBecomeArgumentsWithTheTargetInItsPlace) {
    struct Row {
        const char* name;
        const char* file;
        std::vector<std::string> command;
    };
    const std::vector<std::string> targets = {"https://example.org/a b"};
    const Row rows[] = {
        {"single address code", "Exec=browser %u", {"browser", "https://example.org/a b"}},
        {"list code",
         "Exec=browser --new-window %U",
         {"browser", "--new-window", "https://example.org/a b"}},
        {"file code inside a word",
         "Exec=browser --url=%f",
         {"browser", "--url=https://example.org/a b"}},
        {"no code: appended", "Exec=/opt/b/browser", {"/opt/b/browser", "https://example.org/a b"}},
        {"quoted program with spaces",
         "Exec=\"/opt/My Browser/run\" %u",
         {"/opt/My Browser/run", "https://example.org/a b"}},
        {"escapes in quotes",
         "Exec=sh -c \"echo \\\\\"hi\\\\\" \\\\$x\" %u",
         {"sh", "-c", "echo \"hi\" $x", "https://example.org/a b"}},
        {"string escape \\s", "Exec=run\\sme %u", {"run", "me", "https://example.org/a b"}},
        {"percent, icon, name, deprecated",
         "Exec=b %% %i %c %k %d %u",
         {"b", "%", "--icon", "web", "Fake", "/apps/b.desktop", "https://example.org/a b"}},
    };
    for (const auto& row : rows) {
        const DesktopEntry entry = DesktopEntry::Parse(
            std::string("[Desktop Entry]\nType=Application\nName=Fake\nIcon=web\n") + row.file +
            "\n[Desktop Action new]\nExec=ignored\n");
        EXPECT_TRUE(entry.IsStartableApplication()) << row.name;
        EXPECT_EQ(ExpandExec(entry, "/apps/b.desktop", targets), row.command) << row.name;
    }
    EXPECT_FALSE(SplitExec("browser \"unclosed").has_value());
    EXPECT_FALSE(SplitExec("   ").has_value());
    EXPECT_FALSE(DesktopEntry::Parse("[Desktop Entry]\nType=Application\nExec=b\nHidden=true\n")
                     .IsStartableApplication());
    EXPECT_FALSE(
        DesktopEntry::Parse("[Desktop Entry]\nType=Link\nExec=b\n").IsStartableApplication());
}

TEST(XdgShellExecuteTest, ParametersSplitAsAShellWouldWithoutExpandingAnything) {
    struct Row {
        const char* parameters;
        std::vector<std::string> words;
    };
    const Row rows[] = {
        {"\"https://example.org/a page with spaces\"", {"https://example.org/a page with spaces"}},
        {"one  two\tthree", {"one", "two", "three"}},
        {"'single $HOME' \"double \\\"q\\\" \\\\ \\$x\"", {"single $HOME", "double \"q\" \\ $x"}},
        {"a\\ b \"\" c", {"a b", "", "c"}},
        {"$(rm -rf ~) `id` ;|&", {"$(rm", "-rf", "~)", "`id`", ";|&"}},
        {"", {}},
    };
    for (const auto& row : rows) {
        const auto words = SplitParameters(row.parameters);
        ASSERT_TRUE(words.has_value()) << row.parameters;
        EXPECT_EQ(*words, row.words) << row.parameters;
    }
    EXPECT_FALSE(SplitParameters("\"open").has_value());
    EXPECT_FALSE(SplitParameters("'open").has_value());
}

class XdgAssociationTest : public ::testing::Test {
protected:
    XdgAssociationTest() {
        paths.configDirs = {environment.Path("config"), environment.Path("etc-xdg")};
        paths.dataDirs = {environment.Path("data"), environment.Path("system")};
        paths.desktops = {"orvelletest"};
        MakeDirs(environment.Path("system/applications"));
        MakeDirs(environment.Path("data/applications"));
    }

    void Application(const std::string& folder, const std::string& id,
                     const std::string& extra = "") {
        WriteFile(
            environment.Path(folder + "/applications/" + id),
            "[Desktop Entry]\nType=Application\nName=" + id + "\nExec=/bin/true %u\n" + extra);
    }

    std::string DefaultFor(const std::string& mime) {
        const auto application = DefaultApplicationFor(paths, mime);
        return application ? application->path.substr(environment.Root().size() + 1) : "none";
    }

    TempEnvironment environment;
    XdgSearchPaths paths;
};

TEST_F(XdgAssociationTest, FileTypesComeFromTheMimeGlobsAndWebPagesAreKnownWithoutThem) {
    EXPECT_EQ(MimeTypeForFileName(paths, "/tmp/temphtm.htm"), "text/html");
    EXPECT_EQ(MimeTypeForFileName(paths, "/tmp/PAGE.HTML"), "text/html");
    EXPECT_EQ(MimeTypeForFileName(paths, "/tmp/notes.xyz"), "");

    MakeDirs(environment.Path("system/mime"));
    WriteFile(environment.Path("system/mime/globs2"),
              "# weight:type:glob\n50:application/x-notes:*.xyz\n"
              "60:application/x-special:special.xyz\n50:text/x-readme:README:cs\n"
              "50:application/xhtml+xml:*.htm\n40:text/html:*.htm\n");
    EXPECT_EQ(MimeTypeForFileName(paths, "/tmp/notes.XYZ"), "application/x-notes");
    EXPECT_EQ(MimeTypeForFileName(paths, "/tmp/special.xyz"), "application/x-special")
        << "the heavier glob wins";
    EXPECT_EQ(MimeTypeForFileName(paths, "README"), "text/x-readme");
    EXPECT_EQ(MimeTypeForFileName(paths, "readme"), "") << "a case-sensitive glob";
    EXPECT_EQ(MimeTypeForFileName(paths, "/tmp/temphtm.htm"), "application/xhtml+xml");
}

TEST_F(XdgAssociationTest, TheDefaultBrowserFollowsTheAssociationRules) {
    EXPECT_EQ(DefaultFor("text/html"), "none");

    Application("system", "declared.desktop", "MimeType=text/plain;text/html;\n");
    EXPECT_EQ(DefaultFor("text/html"), "system/applications/declared.desktop")
        << "an application that declares the type serves when nothing else is set";

    Application("system", "cached.desktop");
    WriteFile(environment.Path("system/applications/mimeinfo.cache"),
              "[MIME Cache]\ntext/html=cached.desktop;declared.desktop;\n");
    EXPECT_EQ(DefaultFor("text/html"), "system/applications/cached.desktop");

    Application("system", "vendor.desktop");
    WriteFile(environment.Path("system/applications/mimeapps.list"),
              "[Default Applications]\ntext/html=missing.desktop;vendor.desktop\n");
    EXPECT_EQ(DefaultFor("text/html"), "system/applications/vendor.desktop")
        << "an entry that is not installed is passed over";

    Application("data", "mine.desktop");
    WriteFile(environment.Path("config/mimeapps.list"),
              "[Added Associations]\ntext/html=mine.desktop;\n"
              "[Removed Associations]\ntext/html=vendor.desktop;\n");
    EXPECT_EQ(DefaultFor("text/html"), "data/applications/mine.desktop")
        << "a user's removal beats the vendor's default";

    Application("data", "desk.desktop");
    WriteFile(environment.Path("config/orvelletest-mimeapps.list"),
              "[Default Applications]\ntext/html=desk.desktop\n");
    EXPECT_EQ(DefaultFor("text/html"), "data/applications/desk.desktop")
        << "the current desktop's own list comes first";

    Application("data", "hidden.desktop", "Hidden=true\n");
    Application("data", "tryexec.desktop", "TryExec=/nonexistent/program\n");
    WriteFile(environment.Path("config/orvelletest-mimeapps.list"),
              "[Default Applications]\ntext/html=hidden.desktop;tryexec.desktop;desk.desktop\n");
    EXPECT_EQ(DefaultFor("text/html"), "data/applications/desk.desktop")
        << "hidden and uninstallable entries do not count";

    MakeDirs(environment.Path("data/applications/vendor"));
    Application("data", "vendor/sub.desktop");
    WriteFile(environment.Path("config/orvelletest-mimeapps.list"),
              "[Default Applications]\ntext/html=vendor-sub.desktop\n");
    EXPECT_EQ(DefaultFor("text/html"), "data/applications/vendor/sub.desktop")
        << "a dash in the id may stand for a subfolder";
}

TEST(PosixTempFileTest, CreatesAfreshForTheUserOnlyAndNeverFollowsALink) {
    TempEnvironment environment;
    PosixTempFile temp;
    const std::string path = environment.Path("tmp/temphtm.htm");

    WriteFile(path, "earlier content that is longer");
    temp.Create(path, "\"\"\n");
    EXPECT_EQ(ReadFile(path), "\"\"\n");
    struct stat info {};
    ASSERT_EQ(::lstat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600U);

    const std::string target = environment.Path("home/precious");
    WriteFile(target, "keep me");
    ASSERT_EQ(::unlink(path.c_str()), 0);
    ASSERT_EQ(::symlink(target.c_str(), path.c_str()), 0);
    temp.Create(path, "\"\"\n");
    EXPECT_EQ(ReadFile(target), "keep me") << "nothing is written through a planted link";
    ASSERT_EQ(::lstat(path.c_str(), &info), 0);
    EXPECT_TRUE(S_ISREG(info.st_mode));

    ASSERT_EQ(::unlink(path.c_str()), 0);
    ASSERT_EQ(::symlink(target.c_str(), path.c_str()), 0);
    temp.Remove(path);
    EXPECT_EQ(ReadFile(target), "keep me") << "removing takes the link, not its target";
    EXPECT_NE(::lstat(path.c_str(), &info), 0);
    temp.Remove(path);  // already gone: no error

    MakeDirs(environment.Path("tmp/folder.htm"));
    try {
        temp.Create(environment.Path("tmp/folder.htm"), "x");
        ADD_FAILURE() << "a folder in the way is an error";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.Number(), errors::kPathFileAccessError);
    }
    try {
        temp.Create(environment.Path("tmp/no/such/folder/temphtm.htm"), "x");
        ADD_FAILURE() << "a missing folder is an error";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.Number(), errors::kFileNotFound);
    }
}

class XdgShellExecuteRunTest : public XdgAssociationTest {
protected:
    XdgShellExecuteRunTest() : browser(environment.Path("bin")) {}
    BrowserScript browser;
    XdgShellExecute shell{paths};
};

TEST_F(XdgShellExecuteRunTest, TheDefaultBrowserGetsTheAddressAsOneArgument) {
    const std::string page = environment.Path("tmp/temphtm.htm");
    WriteFile(page, "\"\"\n");
    std::string executable = "stale";
    EXPECT_EQ(shell.FindExecutableA(page, executable), SE_ERR_NOASSOC);
    EXPECT_EQ(executable, "");
    EXPECT_EQ(shell.FindExecutableA(environment.Path("tmp/missing.htm"), executable), SE_ERR_FNF);

    const std::string desktopFile =
        browser.WriteDesktopFile(environment.Path("data/applications"), "fake-browser.desktop");
    WriteFile(environment.Path("config/mimeapps.list"),
              "[Default Applications]\ntext/html=fake-browser.desktop\n");
    ASSERT_GT(shell.FindExecutableA(page, executable), 32);
    EXPECT_EQ(executable, desktopFile);

    const std::string address = "https://example.org/a page with spaces?q=1 2&x=$HOME";
    EXPECT_GT(shell.ShellExecuteA(0, "open", executable, "\"" + address + "\"", SW_SHOWNOACTIVATE),
              32);
    bool started = false;
    EXPECT_THAT(browser.WaitForArguments(started), ElementsAre(address));
    EXPECT_TRUE(started);
}

TEST_F(XdgShellExecuteRunTest, ProgramsDocumentsAndFailures) {
    // A program by path, its parameters split but never run through a shell.
    EXPECT_GT(shell.ShellExecuteA(0, "open", browser.Script(), "one 'two three' ;", 4), 32);
    bool started = false;
    EXPECT_THAT(browser.WaitForArguments(started), ElementsAre("one", "two three", ";"));

    EXPECT_EQ(shell.ShellExecuteA(0, "open", environment.Path("bin/nothing-here"), "", 4),
              SE_ERR_FNF);
    EXPECT_EQ(shell.ShellExecuteA(0, "open", "orvelle-no-such-program-on-path", "", 4), SE_ERR_FNF);
    WriteFile(environment.Path("bin/not-executable.sh"), "#!/bin/sh\n");
    ::chmod(environment.Path("bin/not-executable.sh").c_str(), 0644);
    EXPECT_EQ(shell.ShellExecuteA(0, "open", environment.Path("bin/not-executable.sh"), "", 4),
              SE_ERR_NOASSOC)
        << "a document of a type without a program";
    EXPECT_EQ(shell.ShellExecuteA(0, "print", browser.Script(), "", 4), SE_ERR_NOASSOC);
    EXPECT_EQ(shell.ShellExecuteA(0, "open", browser.Script(), "\"unclosed", 4), SE_ERR_FNF);
}

TEST_F(XdgShellExecuteRunTest, AnAddressOpensWithTheHandlerOfItsScheme) {
    browser.WriteDesktopFile(environment.Path("data/applications"), "fake-browser.desktop", "%U");
    WriteFile(environment.Path("config/mimeapps.list"),
              "[Default Applications]\nx-scheme-handler/https=fake-browser.desktop\n");
    EXPECT_GT(shell.ShellExecuteA(0, "", "https://example.org/?a=1", "", 4), 32);
    bool started = false;
    EXPECT_THAT(browser.WaitForArguments(started), ElementsAre("https://example.org/?a=1"));
    EXPECT_EQ(shell.ShellExecuteA(0, "", "gopher://example.org/", "", 4), SE_ERR_NOASSOC);
}
