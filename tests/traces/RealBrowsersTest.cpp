// The cleaning steps against the real browsers of this system, Firefox ESR and
// Chromium, filled by browsing a local web server that sets cookies: first with
// Firefox still running (its profile is left byte for byte as it was), then with
// everything closed, checked through SQLite, and each browser started again on its
// profile afterwards; last, the hidden Favorites option on the same real databases.

#include "CleaningLog.h"
#include "CleaningTestSupport.h"
#include "CleaningTraces.h"
#include "CommandRunner.h"
#include "FakeFolderTree.h"
#include "FakePlatform.h"
#include "FakeRecycleBin.h"
#include "FakeShellFolders.h"
#include "FolderErasers.h"
#include "HistoryErasers.h"
#include "LinuxTraceCatalog.h"
#include "SqliteRegistry.h"
#include "TraceTestSupport.h"

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <filesystem>

extern char** environ;

using namespace orvelle;
using namespace orvelle::test;
using testing::HasSubstr;
using traces::RunCommand;

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

// A program in its own process group, ended with the group when it leaves scope.
class Child {
public:
    Child(const std::vector<std::string>& argv, const std::string& output) {
        std::vector<char*> args;
        for (const std::string& arg : argv) {
            args.push_back(const_cast<char*>(arg.c_str()));
        }
        args.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
        posix_spawnattr_setpgroup(&attributes, 0);
        EXPECT_EQ(posix_spawnp(&pid_, args[0], &actions, &attributes, args.data(), environ), 0)
            << argv[0];
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
    }
    ~Child() {
        if (pid_ > 0) {
            ::kill(-pid_, SIGCONT);
            ::kill(-pid_, SIGKILL);
            Wait(std::chrono::seconds(10));
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    [[nodiscard]] pid_t Pid() const noexcept { return pid_; }
    void Signal(int signal) const { ::kill(-pid_, signal); }
    // Waits for the leader to end; false when it did not in time.
    bool Wait(Clock::duration limit) {
        const auto deadline = Clock::now() + limit;
        while (Clock::now() < deadline) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return true;
            }
            ::poll(nullptr, 0, 20);
        }
        return false;
    }

private:
    pid_t pid_ = -1;
};

// Waits until `done` holds; false after `limit`.
template <typename Condition>
bool WaitFor(Condition&& done, Clock::duration limit = std::chrono::seconds(30)) {
    const auto deadline = Clock::now() + limit;
    while (!done()) {
        if (Clock::now() > deadline) {
            return false;
        }
        ::poll(nullptr, 0, 20);
    }
    return true;
}

constexpr const char* kServer = R"(
import http.server, sys
class Handler(http.server.SimpleHTTPRequestHandler):
    def end_headers(self):
        self.send_header("Set-Cookie", "visited=" + self.path.replace(";", "_") + "; Max-Age=86400; Path=/")
        self.send_header("Cache-Control", "max-age=86400")
        super().end_headers()
    def log_message(self, form, *args):
        sys.stderr.write((form % args) + "\n"); sys.stderr.flush()
server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
open(sys.argv[1], "w").write(str(server.server_address[1]))
server.serve_forever()
)";

const std::vector<std::string> kChromiumFlags = {"--headless=new",
                                                 "--no-sandbox",
                                                 "--disable-gpu",
                                                 "--no-first-run",
                                                 "--disable-background-networking",
                                                 "--disable-component-update",
                                                 "--disable-sync"};

// The run's steps of options 2, 6, 7 and 9 with the real catalog, logged into memory.
struct Steps {
    Steps() {
        platform::fake::FakeMessageBox messageBox;
        platform::fake::FakeFolderTree tree;
        platform::fake::FakeShellFolders special;  // Linux: no shell folders
        platform::fake::FakeTempPath temp;
        platform::fake::FakeEventPump pump;
        platform::fake::FakeRecycleBin bin;
        platform::posix::SqliteRegistry registry{":memory:"};
        cleaning::test::FakeHost host;
        cleaning::CleaningLog log(sink);
        cleaning::CleaningTraces traces(catalog, log);
        cleaning::FolderErasers folders(tree, special, temp, messageBox, log, pump, host, traces);
        cleaning::HistoryErasers histories(registry, bin, messageBox, log, traces);
        histories.EraseTypedURLs("Erasing 'Auto Complete' Site Addresses");
        folders.EraseInternetCache("Erasing Internet Cashe");
        folders.EraseCookies("Erasing Browser Cookies");
        folders.EraseInternetHistory("Erasing Internet History");
        EXPECT_TRUE(messageBox.shown.empty());
    }
    [[nodiscard]] std::string Red() const {
        std::string red;
        for (const auto& run : sink.Runs()) {
            if (run.colour == cleaning::kLogRed) {
                red += run.text;
            }
        }
        return red;
    }

    traces::LinuxTraceCatalog catalog;
    cleaning::test::MemoryLogSink sink;
};

std::vector<std::string> Corrupt(const std::string& folder) {
    std::vector<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.path().string().find(".corrupt") != std::string::npos) {
            found.push_back(entry.path().string());
        }
    }
    return found;
}

bool IsEmptyFolder(const std::string& folder) {
    return fs::is_directory(folder) && fs::is_empty(folder);
}

TEST(RealBrowsersTest, ProfilesAreCleanedKeepTheirBookmarksAndStartAgainARunningOneStays) {
    TempEnvironment env;
    Put(env.Path("www/one.html"), "<html><head><title>One</title></head><body>one</body></html>");
    Put(env.Path("www/two.html"), "<html><head><title>Two</title></head><body>two</body></html>");
    Put(env.Path("server.py"), kServer);
    const std::string portFile = env.Path("port");
    const std::string serverLog = env.Path("server.log");
    fs::current_path(env.Path("www"));
    Child server({"python3", env.Path("server.py"), portFile}, serverLog);
    ASSERT_TRUE(WaitFor([&] { return !ReadFile(portFile).empty(); }));
    const std::string site = "http://127.0.0.1:" + ReadFile(portFile) + "/";
    const std::string chromiumRoot = env.Path("config/chromium");
    const std::string chromiumCache = env.Path("cache/chromium");

    // Chromium: one page in each profile, then a bookmark written while it is closed:
    // Default bookmarks the page it visited, Profile 1 another one.
    for (const std::string profile : {"Default", "Profile 1"}) {
        std::vector<std::string> argv = {"chromium"};
        argv.insert(argv.end(), kChromiumFlags.begin(), kChromiumFlags.end());
        argv.insert(argv.end(),
                    {"--user-data-dir=" + chromiumRoot, "--profile-directory=" + profile,
                     "--dump-dom", site + "one.html?" + profile.substr(0, 1)});
        ASSERT_EQ(RunCommand(argv, 60000), 0) << "chromium " << profile;
        const std::string bookmarked =
            profile == "Default" ? site + "one.html?D" : site + "never-visited.html";
        const nlohmann::json bookmarks = {
            {"version", 1},
            {"roots",
             {{"bookmark_bar",
               {{"children",
                 {{{"id", "4"},
                   {"type", "url"},
                   {"name", "Kept"},
                   {"url", bookmarked},
                   {"date_added", "13370000000000000"},
                   {"guid", "6f1c3f0e-0000-4000-8000-00000000000" +
                                std::string(profile == "Default" ? "1" : "2")}}}},
                {"id", "1"},
                {"name", "Bookmarks bar"},
                {"type", "folder"},
                {"date_added", "13370000000000000"},
                {"date_modified", "0"}}},
              {"other",
               {{"children", nlohmann::json::array()},
                {"id", "2"},
                {"name", "Other bookmarks"},
                {"type", "folder"},
                {"date_added", "13370000000000000"},
                {"date_modified", "0"}}},
              {"synced",
               {{"children", nlohmann::json::array()},
                {"id", "3"},
                {"name", "Mobile bookmarks"},
                {"type", "folder"},
                {"date_added", "13370000000000000"},
                {"date_modified", "0"}}}}}};
        Put(chromiumRoot + "/" + profile + "/Bookmarks", bookmarks.dump(3));
        ASSERT_GT(
            QueryNumber(chromiumRoot + "/" + profile + "/History", "SELECT count(*) FROM visits"),
            0);
        ASSERT_GT(QueryNumber(chromiumRoot + "/" + profile + "/History",
                              "SELECT sum(typed_count) FROM urls"),
                  0);
        ASSERT_GT(
            QueryNumber(chromiumRoot + "/" + profile + "/Cookies", "SELECT count(*) FROM cookies"),
            0);
    }
    const std::string defaultBookmarks = ReadFile(chromiumRoot + "/Default/Bookmarks");

    // Firefox on an empty home makes its own profile; it visits one page per start.
    for (const char* page : {"one.html", "two.html"}) {
        ASSERT_EQ(RunCommand({"firefox-esr", "--headless", "--screenshot", env.Path("shot.png"),
                              site + page},
                             60000),
                  0)
            << page;
    }
    std::string firefoxProfile;
    for (const auto& entry : fs::directory_iterator(env.Path("config/mozilla/firefox"))) {
        if (entry.path().string().ends_with(".default-esr")) {
            firefoxProfile = entry.path().string();
        }
    }
    ASSERT_FALSE(firefoxProfile.empty());
    // While it is closed: a bookmark on the first page, typed addresses on both.
    const std::string places = firefoxProfile + "/places.sqlite";
    ExecSql(places,
            "INSERT INTO moz_bookmarks(type, fk, parent, position, title, guid, dateAdded,"
            " lastModified) SELECT 1, id, 3, 0, 'Kept', 'orvelleKept1', 1, 1 FROM moz_places"
            " WHERE url = '" +
                site +
                "one.html';"
                "UPDATE moz_places SET foreign_count = foreign_count + 1, typed = 1 WHERE url = '" +
                site +
                "one.html';"
                "UPDATE moz_places SET typed = 1 WHERE url = '" +
                site +
                "two.html';"
                "INSERT INTO moz_inputhistory(place_id, input, use_count) SELECT id, 'tw', 1"
                " FROM moz_places WHERE url = '" +
                site + "two.html';");
    const long long bookmarks = QueryNumber(places, "SELECT count(*) FROM moz_bookmarks");
    ASSERT_EQ(QueryNumber(places, "SELECT count(*) FROM moz_historyvisits"), 2);
    ASSERT_EQ(QueryNumber(places, "SELECT count(*) FROM moz_places WHERE typed = 1"), 2);
    ASSERT_GT(QueryNumber(firefoxProfile + "/cookies.sqlite", "SELECT count(*) FROM moz_cookies"),
              0);
    const std::string firefoxCache =
        env.Path("cache/mozilla/firefox/") + fs::path(firefoxProfile).filename().string();
    ASSERT_FALSE(fs::is_empty(firefoxCache + "/cache2"));

    {
        SCOPED_TRACE("Firefox running: its profile stays as it is, Chromium is cleaned");
        Child firefox({"firefox-esr", "--headless"}, env.Path("firefox.log"));
        ASSERT_TRUE(WaitFor([&] {
            return fs::is_symlink(firefoxProfile + "/lock") &&
                   Exists(firefoxProfile + "/places.sqlite-wal") &&
                   ReadFile(firefoxProfile + "/sessionCheckpoints.json")
                           .find("sessionstore-windows-restored") != std::string::npos;
        })) << ReadFile(env.Path("firefox.log"));
        firefox.Signal(SIGSTOP);  // holds every write of Firefox while we look
        const auto before = Snapshot(firefoxProfile);
        const auto cacheBefore = Snapshot(firefoxCache);
        const Steps steps;
        EXPECT_EQ(Snapshot(firefoxProfile), before);
        EXPECT_EQ(Snapshot(firefoxCache), cacheBefore);
        EXPECT_THAT(steps.Red(), HasSubstr("Firefox profile \"default-esr\" (" + firefoxProfile +
                                           ") is in use by process "));
        EXPECT_FALSE(Exists(chromiumRoot + "/Default/Cookies"));
        EXPECT_EQ(QueryNumber(chromiumRoot + "/Default/History", "SELECT count(*) FROM visits"), 0);
        firefox.Signal(SIGCONT);
        firefox.Signal(SIGTERM);
        ASSERT_TRUE(firefox.Wait(std::chrono::seconds(30)));
        ASSERT_EQ(QueryNumber(places, "SELECT count(*) FROM moz_historyvisits"), 2);
    }

    {
        SCOPED_TRACE("everything closed");
        const Steps steps;
        EXPECT_EQ(steps.Red(), "");
        EXPECT_EQ(IntegrityCheck(places), "ok");
        EXPECT_EQ(IntegrityCheck(firefoxProfile + "/favicons.sqlite"), "ok");
        EXPECT_EQ(QueryNumber(places, "SELECT count(*) FROM moz_historyvisits"), 0);
        EXPECT_EQ(QueryNumber(places, "SELECT count(*) FROM moz_inputhistory"), 0);
        EXPECT_EQ(QueryNumber(places, "SELECT sum(typed) FROM moz_places"), 0);
        EXPECT_EQ(QueryNumber(places,
                              "SELECT count(*) FROM moz_places WHERE id NOT IN"
                              " (SELECT fk FROM moz_bookmarks WHERE fk IS NOT NULL)"),
                  0);
        EXPECT_EQ(QueryNumber(places, "SELECT count(*) FROM moz_bookmarks"), bookmarks);
        EXPECT_EQ(QueryNumber(places,
                              "SELECT count(*) FROM moz_places WHERE url = '" + site + "one.html'"),
                  1);
        EXPECT_FALSE(Exists(firefoxProfile + "/cookies.sqlite"));
        EXPECT_TRUE(IsEmptyFolder(env.Path("cache/mozilla/firefox/") +
                                  fs::path(firefoxProfile).filename().string() + "/cache2"));
        for (const std::string profile : {"Default", "Profile 1"}) {
            SCOPED_TRACE(profile);
            const std::string history = chromiumRoot + "/" + profile + "/History";
            EXPECT_EQ(IntegrityCheck(history), "ok");
            EXPECT_EQ(QueryNumber(history, "SELECT count(*) FROM visits"), 0);
            EXPECT_EQ(QueryNumber(history, "SELECT count(*) FROM keyword_search_terms"), 0);
            EXPECT_EQ(QueryNumber(history, "SELECT count(*) FROM urls"),
                      profile == "Default" ? 1 : 0)
                << "only the bookmarked page that was visited keeps its row";
            EXPECT_EQ(QueryNumber(history, "SELECT ifnull(sum(typed_count), 0) FROM urls"), 0);
            EXPECT_FALSE(Exists(chromiumRoot + "/" + profile + "/Cookies"));
            EXPECT_TRUE(IsEmptyFolder(chromiumCache + "/" + profile + "/Cache"));
        }
        EXPECT_EQ(ReadFile(chromiumRoot + "/Default/Bookmarks"), defaultBookmarks);
    }

    {
        SCOPED_TRACE("each browser starts again on its cleaned profile");
        ASSERT_EQ(RunCommand({"firefox-esr", "--headless", "--screenshot", env.Path("shot.png"),
                              site + "two.html"},
                             60000),
                  0);
        EXPECT_THAT(Corrupt(firefoxProfile), testing::ElementsAre());
        EXPECT_EQ(IntegrityCheck(places), "ok");
        EXPECT_EQ(QueryNumber(places, "SELECT count(*) FROM moz_bookmarks"), bookmarks);
        EXPECT_EQ(QueryNumber(places, "SELECT count(*) FROM moz_historyvisits"), 1)
            << "the new visit is recorded in the same database";
        for (const std::string profile : {"Default", "Profile 1"}) {
            std::vector<std::string> argv = {"chromium"};
            argv.insert(argv.end(), kChromiumFlags.begin(), kChromiumFlags.end());
            argv.insert(argv.end(),
                        {"--user-data-dir=" + chromiumRoot, "--profile-directory=" + profile,
                         "--dump-dom", site + "two.html?" + profile.substr(0, 1)});
            ASSERT_EQ(RunCommand(argv, 60000), 0);
            const std::string history = chromiumRoot + "/" + profile + "/History";
            EXPECT_EQ(IntegrityCheck(history), "ok");
            EXPECT_EQ(QueryNumber(history, "SELECT count(*) FROM visits"), 1);
            EXPECT_THAT(ReadFile(chromiumRoot + "/" + profile + "/Bookmarks"), HasSubstr("Kept"));
        }
    }

    {
        SCOPED_TRACE("the hidden Favorites option, on the real schemas");
        traces::LinuxTraceCatalog catalog;
        const auto found = catalog.Find(8);
        EXPECT_TRUE(found.skipped.empty());
        for (const auto& item : found.items) {
            EXPECT_EQ(catalog.Apply(item).error, "") << item.path;
        }
        EXPECT_EQ(IntegrityCheck(places), "ok");
        EXPECT_EQ(QueryNumber(places, "SELECT count(*) FROM moz_bookmarks"), 6)
            << "the six fixed folders stay";
        EXPECT_EQ(QueryNumber(places, "SELECT sum(foreign_count) FROM moz_places"), 0);
        EXPECT_TRUE(fs::is_directory(firefoxProfile + "/bookmarkbackups"));
        for (const std::string profile : {"Default", "Profile 1"}) {
            EXPECT_FALSE(Exists(chromiumRoot + "/" + profile + "/Bookmarks")) << profile;
        }
    }
}

}  // namespace
