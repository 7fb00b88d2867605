// The cleaning steps against the real browsers of this system, Firefox ESR and
// Chromium, filled by browsing a local web server that sets cookies: first with
// Firefox still running (its profile is left byte for byte as it was), then with
// everything closed, checked through SQLite, and each browser started again on its
// profile afterwards; last, the hidden Favorites option on the same real databases.

#include "CleaningLog.h"
#include "CleaningTestSupport.h"
#include "CleaningTraces.h"
#include "CommandRunner.h"
#include "FakeDesktop.h"
#include "FakeFolderTree.h"
#include "FakeOs.h"
#include "FakeRecycleBin.h"
#include "FakeShellFolders.h"
#include "FakeStore.h"
#include "FolderErasers.h"
#include "HistoryErasers.h"
#include "LinuxTraceCatalog.h"
#include "SqliteRegistry.h"
#include "TraceTestSupport.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <lz4.h>
#include <netinet/in.h>
#include <openssl/evp.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

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
        desktop::fake::FakeMessageBox messageBox;
        os::fake::FakeFolderTree tree;
        os::fake::FakeShellFolders special;  // Linux: no shell folders
        os::fake::FakeTempPath temp;
        os::fake::FakeEventPump pump;
        os::fake::FakeRecycleBin bin;
        store::SqliteRegistry registry{":memory:"};
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

// Chromium: one page in each profile, then a bookmark written while it is closed:
// Default bookmarks the page it visited, Profile 1 another one.
void BrowseWithChromium(const std::string& site, const std::string& chromiumRoot) {
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
}

// Firefox on an empty home makes its own profile; it visits one page per start.
void BrowseWithFirefox(const TempEnvironment& env, const std::string& site,
                       std::string& firefoxProfile) {
    for (const char* page : {"one.html", "two.html"}) {
        ASSERT_EQ(RunCommand({"firefox-esr", "--headless", "--screenshot", env.Path("shot.png"),
                              site + page},
                             60000),
                  0)
            << page;
    }
    for (const auto& entry : fs::directory_iterator(env.Path("config/mozilla/firefox"))) {
        if (entry.path().string().ends_with(".default-esr")) {
            firefoxProfile = entry.path().string();
        }
    }
    ASSERT_FALSE(firefoxProfile.empty());
}

// While it is closed: a bookmark on the first page, typed addresses on both.
void BookmarkAndTypeInFirefox(const std::string& places, const std::string& site) {
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
}

void CleanWhileFirefoxRuns(const TempEnvironment& env, const std::string& chromiumRoot,
                           const std::string& firefoxProfile, const std::string& places,
                           const std::string& firefoxCache) {
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

void ExpectEverythingClosedCleaned(const TempEnvironment& env, const std::string& site,
                                   const std::string& chromiumRoot,
                                   const std::string& chromiumCache,
                                   const std::string& firefoxProfile, const std::string& places,
                                   const std::string& defaultBookmarks, long long bookmarks) {
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
    EXPECT_EQ(
        QueryNumber(places, "SELECT count(*) FROM moz_places WHERE url = '" + site + "one.html'"),
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
        EXPECT_EQ(QueryNumber(history, "SELECT count(*) FROM urls"), profile == "Default" ? 1 : 0)
            << "only the bookmarked page that was visited keeps its row";
        EXPECT_EQ(QueryNumber(history, "SELECT ifnull(sum(typed_count), 0) FROM urls"), 0);
        EXPECT_FALSE(Exists(chromiumRoot + "/" + profile + "/Cookies"));
        EXPECT_TRUE(IsEmptyFolder(chromiumCache + "/" + profile + "/Cache"));
    }
    EXPECT_EQ(ReadFile(chromiumRoot + "/Default/Bookmarks"), defaultBookmarks);
}

void StartEachBrowserAgain(const TempEnvironment& env, const std::string& site,
                           const std::string& chromiumRoot, const std::string& firefoxProfile,
                           const std::string& places, long long bookmarks) {
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

void TheFavoritesOptionEmptiesTheBookmarks(const std::string& chromiumRoot,
                                           const std::string& firefoxProfile,
                                           const std::string& places) {
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

    ASSERT_NO_FATAL_FAILURE(BrowseWithChromium(site, chromiumRoot));
    const std::string defaultBookmarks = ReadFile(chromiumRoot + "/Default/Bookmarks");

    std::string firefoxProfile;
    ASSERT_NO_FATAL_FAILURE(BrowseWithFirefox(env, site, firefoxProfile));
    const std::string places = firefoxProfile + "/places.sqlite";
    BookmarkAndTypeInFirefox(places, site);
    const long long bookmarks = QueryNumber(places, "SELECT count(*) FROM moz_bookmarks");
    ASSERT_EQ(QueryNumber(places, "SELECT count(*) FROM moz_historyvisits"), 2);
    ASSERT_EQ(QueryNumber(places, "SELECT count(*) FROM moz_places WHERE typed = 1"), 2);
    ASSERT_GT(QueryNumber(firefoxProfile + "/cookies.sqlite", "SELECT count(*) FROM moz_cookies"),
              0);
    const std::string firefoxCache =
        env.Path("cache/mozilla/firefox/") + fs::path(firefoxProfile).filename().string();
    ASSERT_FALSE(fs::is_empty(firefoxCache + "/cache2"));

    ASSERT_NO_FATAL_FAILURE(
        CleanWhileFirefoxRuns(env, chromiumRoot, firefoxProfile, places, firefoxCache));
    ExpectEverythingClosedCleaned(env, site, chromiumRoot, chromiumCache, firefoxProfile, places,
                                  defaultBookmarks, bookmarks);
    ASSERT_NO_FATAL_FAILURE(
        StartEachBrowserAgain(env, site, chromiumRoot, firefoxProfile, places, bookmarks));
    TheFavoritesOptionEmptiesTheBookmarks(chromiumRoot, firefoxProfile, places);
}

// A page for each profile whose address, title, cookie, localStorage, sessionStorage
// and IndexedDB value each carry a word of their own; its load waits for a slow image,
// so the storage writes are done when the browser says it has loaded.
constexpr const char* kWordServer = R"(
import http.server, sys, time, urllib.parse
class Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        url = urllib.parse.urlparse(self.path)
        query = urllib.parse.parse_qs(url.query)
        if url.path != "/page":
            if url.path == "/slow":
                time.sleep(1.5)
            self.send_response(404)
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        p = query.get("p", ["none"])[0]
        w = lambda kind: "orvq" + p + kind
        body = ("<html><head><title>" + w("title") + "</title></head><body>"
            "<form action='/sent' method='get'><input name='q' id='q'><button id='go'>Go</button></form>"
            "<script>localStorage.setItem('k', '" + w("local") + "');"
            "sessionStorage.setItem('k', '" + w("sess") + "');"
            "var r = indexedDB.open('d', 1);"
            "r.onupgradeneeded = function() { r.result.createObjectStore('s'); };"
            "r.onsuccess = function() { var t = r.result.transaction('s', 'readwrite');"
            " t.objectStore('s').put('" + w("idb") + "', 'k'); };</script>"
            "<img src='/slow'></body></html>").encode()
        self.send_response(200)
        self.send_header("Content-Type", "text/html")
        self.send_header("Set-Cookie", "orvc=" + w("cookie") + "; Max-Age=86400; Path=/")
        self.send_header("Cache-Control", "max-age=86400")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)
    def log_message(self, form, *args):
        pass
server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
open(sys.argv[1], "w").write(str(server.server_address[1]))
server.serve_forever()
)";

// Firefox driven through Marionette, its remote protocol ("length:json" messages),
// so that it types like a user and quits the way its own Quit menu does.
class Marionette {
public:
    explicit Marionette(int port) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connected_ =
            ::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
        if (connected_) {
            hello_ = Read();
        }
    }
    ~Marionette() { ::close(fd_); }
    Marionette(const Marionette&) = delete;
    Marionette& operator=(const Marionette&) = delete;

    [[nodiscard]] bool Ready() const { return connected_ && hello_.contains("marionetteProtocol"); }

    // The command's result; a failed test when Firefox answers with an error.
    nlohmann::json Command(const std::string& name, const nlohmann::json& parameters) {
        const std::string text = nlohmann::json::array({0, ++id_, name, parameters}).dump();
        const std::string message = std::to_string(text.size()) + ":" + text;
        EXPECT_EQ(::send(fd_, message.data(), message.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(message.size()));
        const nlohmann::json answer = Read();
        EXPECT_TRUE(answer.is_array() && answer.size() == 4 && answer[2].is_null())
            << name << ": " << answer.dump();
        return answer.is_array() && answer.size() == 4 ? answer[3] : nlohmann::json();
    }
    std::string Find(const std::string& selector) {
        const auto found =
            Command("WebDriver:FindElement", {{"using", "css selector"}, {"value", selector}});
        return found.contains("value") && found["value"].is_object() && !found["value"].empty()
                   ? found["value"].begin()->get<std::string>()
                   : std::string();
    }

private:
    nlohmann::json Read() {
        std::string length;
        char c = 0;
        while (::recv(fd_, &c, 1, 0) == 1 && c != ':') {
            length += c;
        }
        std::string body(length.empty() ? 0 : std::stoul(length), '\0');
        std::size_t got = 0;
        while (got < body.size()) {
            const ssize_t n = ::recv(fd_, body.data() + got, body.size() - got, 0);
            if (n <= 0) {
                break;
            }
            got += static_cast<std::size_t>(n);
        }
        return nlohmann::json::parse(body, nullptr, false);
    }

    int fd_ = -1;
    bool connected_ = false;
    nlohmann::json hello_;
    int id_ = 0;
};

// Starts Firefox ESR on `profile` with Marionette on a free port, runs `drive`, then
// quits through Marionette and waits until Firefox has written everything and ended.
template <typename Drive>
void WithFirefox(const TempEnvironment& env, const std::string& profile, Drive&& drive) {
    fs::remove(profile + "/MarionetteActivePort");
    Child firefox(
        {"firefox-esr", "--headless", "--marionette", "--no-remote", "--profile", profile},
        env.Path("out/firefox.log"));
    ASSERT_TRUE(WaitFor([&] { return !ReadFile(profile + "/MarionetteActivePort").empty(); }))
        << ReadFile(env.Path("out/firefox.log"));
    Marionette marionette(std::stoi(ReadFile(profile + "/MarionetteActivePort")));
    ASSERT_TRUE(marionette.Ready());
    marionette.Command("WebDriver:NewSession", {{"capabilities", nlohmann::json::object()}});
    drive(marionette);
    marionette.Command("Marionette:Quit", {{"flags", {"eAttemptQuit"}}});
    ASSERT_TRUE(firefox.Wait(std::chrono::seconds(60))) << "Firefox did not quit";
}

// Firefox's compressed JSON (".jsonlz4", ".baklz4", "mozLz40\0", a 4-byte size and
// one LZ4 block) unpacked; any other file as it is.
std::string Readable(const std::string& bytes) {
    static const std::string kMagic("mozLz40\0", 8);
    if (bytes.size() < 12 || bytes.compare(0, 8, kMagic) != 0) {
        return bytes;
    }
    std::uint32_t size = 0;
    std::memcpy(&size, bytes.data() + 8, 4);
    std::string out(size, '\0');
    const int n = LZ4_decompress_safe(bytes.data() + 12, out.data(),
                                      static_cast<int>(bytes.size() - 12), static_cast<int>(size));
    return n < 0 ? bytes : out.substr(0, static_cast<std::size_t>(n));
}

// The cookie values of a Chromium "Cookies" database, decrypted with the fixed key
// Chromium uses on Linux without a keyring ("v10": AES-128-CBC, the key derived from
// "peanuts", an IV of spaces), as anyone with the file can.
std::string ChromiumCookieValues(const std::string& path) {
    unsigned char key[16];
    PKCS5_PBKDF2_HMAC_SHA1("peanuts", 7, reinterpret_cast<const unsigned char*>("saltysalt"), 9, 1,
                           sizeof key, key);
    const unsigned char iv[16] = {' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ',
                                  ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
    std::string values;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db, "SELECT encrypted_value FROM cookies", -1, &statement,
                               nullptr) == SQLITE_OK) {
            while (sqlite3_step(statement) == SQLITE_ROW) {
                const auto* blob =
                    static_cast<const unsigned char*>(sqlite3_column_blob(statement, 0));
                const int size = sqlite3_column_bytes(statement, 0);
                if (blob == nullptr || size <= 3 || std::memcmp(blob, "v10", 3) != 0) {
                    continue;
                }
                std::string plain(static_cast<std::size_t>(size), '\0');
                int written = 0;
                int last = 0;
                EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
                EVP_DecryptInit_ex(context, EVP_aes_128_cbc(), nullptr, key, iv);
                EVP_DecryptUpdate(context, reinterpret_cast<unsigned char*>(plain.data()), &written,
                                  blob + 3, size - 3);
                if (EVP_DecryptFinal_ex(context,
                                        reinterpret_cast<unsigned char*>(plain.data()) + written,
                                        &last) == 1) {
                    values += plain.substr(0, static_cast<std::size_t>(written + last)) + "\n";
                }
                EVP_CIPHER_CTX_free(context);
            }
        }
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    return values;
}

std::string Utf16(const std::string& ascii) {
    std::string wide;
    for (const char c : ascii) {
        wide += c;
        wide += '\0';
    }
    return wide;
}

// Every file below `root` (outside `skip`) that holds `word`, as bytes or UTF-16.
std::vector<std::string> FilesHolding(const std::string& root, const std::string& skip,
                                      const std::vector<std::string>& words) {
    std::vector<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const std::string path = entry.path().string();
        if (entry.is_symlink() || !entry.is_regular_file() || path.rfind(skip, 0) == 0) {
            continue;
        }
        std::ifstream file(path, std::ios::binary);
        std::string text = Readable({std::istreambuf_iterator<char>(file), {}});
        if (path.ends_with("/Cookies")) {
            text += ChromiumCookieValues(path);
        }
        for (const std::string& word : words) {
            if (text.find(word) != std::string::npos ||
                text.find(Utf16(word)) != std::string::npos) {
                found.push_back(path.substr(root.size() + 1) + ": " + word);
            }
        }
    }
    return found;
}

std::vector<std::string> Databases(const std::string& root) {
    std::vector<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (!entry.is_symlink() && entry.is_regular_file()) {
            std::ifstream file(entry.path(), std::ios::binary);
            char head[16] = {};
            file.read(head, sizeof head);
            if (std::memcmp(head, "SQLite format 3", 16) == 0) {
                found.push_back(entry.path().string());
            }
        }
    }
    return found;
}

std::vector<std::string> Words(const std::string& profile, bool form) {
    std::vector<std::string> words;
    for (const char* kind : {"url", "title", "cookie", "local", "sess", "idb"}) {
        words.push_back("orvq" + profile + kind);
    }
    if (form) {
        words.push_back("orvq" + profile + "form");
    }
    return words;
}

TEST(RealBrowsersTest, NoWordOfAVisitedSiteSurvivesACleanAndEveryChoiceOfTheUserStays) {
    TempEnvironment env;
    Put(env.Path("out/server.py"), kWordServer);
    Child server({"python3", env.Path("out/server.py"), env.Path("out/port")},
                 env.Path("out/server.log"));
    ASSERT_TRUE(WaitFor([&] { return !ReadFile(env.Path("out/port")).empty(); }));
    const std::string site = "http://127.0.0.1:" + ReadFile(env.Path("out/port")) + "/";

    // Firefox: a profile its index names, where Firefox ESR on this home looks for it.
    const std::string firefoxRoot = env.Path("config/mozilla/firefox");
    const std::string firefox = firefoxRoot + "/w.default-esr";
    Put(firefoxRoot + "/profiles.ini",
        "[Profile0]\nName=default-esr\nIsRelative=1\nPath=w.default-esr\nDefault=1\n");
    Put(firefox + "/user.js", "user_pref(\"marionette.port\", 0);\n");
    WithFirefox(env, firefox, [&](Marionette& m) {
        m.Command("WebDriver:Navigate", {{"url", site + "page?p=bk"}});
        m.Command("WebDriver:Navigate", {{"url", site + "page?p=ff&a=orvqffurl"}});
        const std::string box = m.Find("#q");
        m.Command("WebDriver:ElementSendKeys", {{"id", box}, {"text", "orvqffform"}});
        m.Command("WebDriver:ElementClick", {{"id", m.Find("#go")}});
        // A second tab keeps the first page in the session files as an open tab.
        m.Command("WebDriver:NewWindow", {{"type", "tab"}});
    });
    const std::string places = firefox + "/places.sqlite";
    ExecSql(places,
            "INSERT INTO moz_bookmarks(type, fk, parent, position, title, guid, dateAdded,"
            " lastModified) SELECT 1, id, 3, 0, 'Kept', 'orvelleKept1', 1, 1 FROM moz_places"
            " WHERE url = '" +
                site +
                "page?p=bk';"
                "UPDATE moz_places SET foreign_count = foreign_count + 1 WHERE url = '" +
                site + "page?p=bk';");
    ExecSql(firefox + "/permissions.sqlite",
            "INSERT INTO moz_perms(origin, type, permission, expireType, expireTime,"
            " modificationTime) VALUES ('https://meet.example', 'camera', 1, 0, 0, 1)");
    Put(firefox + "/storage/default/moz-extension+++orvext/ls/data.sqlite", "orvextkept");
    const long long bookmarks = QueryNumber(places, "SELECT count(*) FROM moz_bookmarks");

    // Chromium: two profiles of one user data folder; each page closes the browser
    // by itself once loaded (--dump-dom). Chromium writes its cookies out on a timer,
    // so a visit is repeated (at most three times) until the cookie is on disk.
    const std::string chromium = env.Path("config/chromium");
    for (const std::string profile : {"Default", "Profile 1"}) {
        const std::string tag = profile == "Default" ? "cd" : "cp";
        std::vector<std::string> argv = {"chromium", "--password-store=basic"};
        argv.insert(argv.end(), kChromiumFlags.begin(), kChromiumFlags.end());
        argv.insert(argv.end(), {"--user-data-dir=" + chromium, "--profile-directory=" + profile,
                                 "--dump-dom", site + "page?p=" + tag + "&a=orvq" + tag + "url"});
        for (int attempt = 0; attempt < 3; ++attempt) {
            ASSERT_EQ(RunCommand(argv, 60000), 0) << profile;
            if (ChromiumCookieValues(chromium + "/" + profile + "/Cookies")
                    .find("orvq" + tag + "cookie") != std::string::npos) {
                break;
            }
        }
    }
    const std::string preferences = chromium + "/Default/Preferences";
    auto prefs = nlohmann::json::parse(ReadFile(preferences));
    prefs["profile"]["content_settings"]["exceptions"]["media_stream_camera"] = {
        {"https://meet.example:443,*", {{"setting", 1}}}};
    Put(preferences, prefs.dump());
    Put(chromium + "/Default/Local Extension Settings/orvext/000003.log", "orvextkept");

    std::vector<std::string> words;
    for (const auto& [tag, form] : {std::pair{"ff", true}, {"cd", false}, {"cp", false}}) {
        for (const std::string& word : Words(tag, form)) {
            words.push_back(word);
        }
    }
    {
        SCOPED_TRACE("every kind of storage holds its word before the clean");
        const auto before = FilesHolding(env.Root(), env.Path("out"), words);
        for (const std::string& word : words) {
            EXPECT_TRUE(std::any_of(before.begin(), before.end(),
                                    [&](const std::string& hit) { return hit.ends_with(word); }))
                << word << " was never written";
        }
    }

    const Steps steps;
    EXPECT_EQ(steps.Red(), "");
    EXPECT_THAT(FilesHolding(env.Root(), env.Path("out"), words), testing::ElementsAre());
    for (const std::string& database : Databases(env.Root())) {
        EXPECT_EQ(IntegrityCheck(database), "ok") << database;
    }
    EXPECT_EQ(QueryNumber(places, "SELECT count(*) FROM moz_bookmarks"), bookmarks);
    EXPECT_EQ(QueryNumber(firefox + "/permissions.sqlite",
                          "SELECT count(*) FROM moz_perms WHERE type = 'camera'"),
              1);
    EXPECT_EQ(ReadFile(firefox + "/storage/default/moz-extension+++orvext/ls/data.sqlite"),
              "orvextkept");
    EXPECT_EQ(ReadFile(chromium + "/Default/Local Extension Settings/orvext/000003.log"),
              "orvextkept");
    EXPECT_EQ(nlohmann::json::parse(ReadFile(
                  preferences))["profile"]["content_settings"]["exceptions"]["media_stream_camera"],
              prefs["profile"]["content_settings"]["exceptions"]["media_stream_camera"]);

    // Both browsers start again on their cleaned profiles, nothing set aside as corrupt.
    WithFirefox(env, firefox, [&](Marionette& m) {
        m.Command("WebDriver:Navigate", {{"url", site + "page?p=again"}});
    });
    EXPECT_THAT(Corrupt(firefox), testing::ElementsAre());
    EXPECT_EQ(QueryNumber(places, "SELECT count(*) FROM moz_bookmarks"), bookmarks);
    EXPECT_EQ(QueryNumber(places, "SELECT count(*) FROM moz_historyvisits"), 1);
    for (const std::string profile : {"Default", "Profile 1"}) {
        std::vector<std::string> argv = {"chromium", "--password-store=basic"};
        argv.insert(argv.end(), kChromiumFlags.begin(), kChromiumFlags.end());
        argv.insert(argv.end(), {"--user-data-dir=" + chromium, "--profile-directory=" + profile,
                                 "--dump-dom", site + "page?p=again"});
        EXPECT_EQ(RunCommand(argv, 60000), 0) << profile;
        EXPECT_EQ(IntegrityCheck(chromium + "/" + profile + "/History"), "ok");
        EXPECT_THAT(Corrupt(chromium + "/" + profile), testing::ElementsAre());
    }
}

}  // namespace
