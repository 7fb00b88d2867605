// orvelle-clean as a user runs it, in a private home filled with the traces of the
// real browsers (Chromium and Firefox ESR, browsing a local server that sets
// cookies) and of the desktop: the preview lists what is on disk and changes
// nothing, the run erases exactly what was previewed, a profile in use stays, and
// the JSON documents carry the fields the README documents.

#include "CommandRunner.h"
#include "FlockCleaningLock.h"
#include "RegistrySettingsStore.h"
#include "SqliteRegistry.h"
#include "TraceTestSupport.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <filesystem>
#include <memory>

extern char** environ;

using namespace orvelle;
using namespace orvelle::test;
using nlohmann::json;

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;
constexpr const char* kProgramFolder = "/opt/orvelle-test";

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

// orvelle-clean started with its output in two files, outside every cleaned folder.
class Clean {
public:
    Clean(const std::vector<std::string>& arguments, const std::string& outputFolder) {
        fs::create_directories(outputFolder);
        out_ = outputFolder + "/out";
        err_ = outputFolder + "/err";
        std::vector<std::string> argv = {ORVELLE_CLEAN, "--program-folder", kProgramFolder};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        std::vector<char*> args;
        for (std::string& arg : argv) {
            args.push_back(arg.data());
        }
        args.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out_.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err_.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        EXPECT_EQ(posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Clean() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            static_cast<void>(Wait());
        }
    }
    Clean(const Clean&) = delete;
    Clean& operator=(const Clean&) = delete;

    // The exit code, -1 when it did not end within the limit.
    int Wait(Clock::duration limit = std::chrono::seconds(120)) {
        int status = 0;
        const bool ended =
            WaitFor([&] { return pid_ <= 0 || ::waitpid(pid_, &status, WNOHANG) == pid_; }, limit);
        if (!ended) {
            return -1;
        }
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    [[nodiscard]] bool Running() const {
        return pid_ > 0 && ::waitpid(pid_, nullptr, WNOHANG) == 0;
    }
    [[nodiscard]] std::string Out() const { return ReadFile(out_); }
    [[nodiscard]] std::string Err() const { return ReadFile(err_); }

private:
    pid_t pid_ = -1;
    std::string out_;
    std::string err_;
};

struct Result {
    int code;
    std::string out;
    std::string err;
};

Result RunClean(const TempEnvironment& env, const std::vector<std::string>& arguments) {
    Clean clean(arguments, env.Path("out"));
    const int code = clean.Wait();
    return {code, clean.Out(), clean.Err()};
}

// Space on disk as du counts it: every file, link and folder below, no link followed.
std::uint64_t DiskUsage(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        return 0;
    }
    std::uint64_t total = static_cast<std::uint64_t>(info.st_blocks) * 512U;
    if (S_ISDIR(info.st_mode)) {
        for (const auto& entry : fs::directory_iterator(path)) {
            total += DiskUsage(entry.path().string());
        }
    }
    return total;
}

bool IsDatabaseKind(const json& item) {
    return item["kind"] == "database rows" ||
           (item["kind"] == "file" && !item["browser"].get<std::string>().empty());
}

constexpr const char* kServer = R"(
import http.server, sys
class Handler(http.server.SimpleHTTPRequestHandler):
    def end_headers(self):
        self.send_header("Set-Cookie", "visited=1; Max-Age=86400; Path=/")
        self.send_header("Cache-Control", "max-age=86400")
        super().end_headers()
    def log_message(self, *args):
        pass
server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
open(sys.argv[1], "w").write(str(server.server_address[1]))
server.serve_forever()
)";

// The home every test starts from: filled once per suite, copied into each test's own.
class CleanCommandTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const char* tmp = std::getenv("TMPDIR");
        const std::optional<std::string> outerTmp =
            tmp != nullptr ? std::optional<std::string>(tmp) : std::nullopt;
        filled_ = std::make_unique<TempEnvironment>();
        TempEnvironment& env = *filled_;
        ASSERT_NO_FATAL_FAILURE(BrowseWithBothBrowsers(env));
        PutTheDesktopsTraces(env);
        ASSERT_NO_FATAL_FAILURE(StoreTheOptionsAndATypedAddress());
        // Each test's own home is made beside this one, not inside its temporary folder.
        filled_->Set("TMPDIR", outerTmp);
    }

    // Chromium's two profiles and Firefox's own visit a local server that sets cookies.
    static void BrowseWithBothBrowsers(const TempEnvironment& env) {
        Put(env.Path("www/page.html"), "<html><head><title>P</title></head><body>p</body></html>");
        Put(env.Path("server.py"), kServer);
        const std::string portFile = env.Path("port");
        pid_t server = -1;
        std::vector<std::string> argv = {"python3", env.Path("server.py"), portFile};
        std::vector<char*> args;
        for (std::string& arg : argv) {
            args.push_back(arg.data());
        }
        args.push_back(nullptr);
        fs::current_path(env.Path("www"));
        ASSERT_EQ(posix_spawnp(&server, "python3", nullptr, nullptr, args.data(), environ), 0);
        ASSERT_TRUE(WaitFor([&] { return !ReadFile(portFile).empty(); }));
        const std::string site = "http://127.0.0.1:" + ReadFile(portFile) + "/page.html?";
        for (const std::string profile : {"Default", "Profile 1"}) {
            ASSERT_EQ(
                traces::RunCommand(
                    {"chromium", "--headless=new", "--no-sandbox", "--disable-gpu",
                     "--no-first-run", "--disable-background-networking",
                     "--disable-component-update", "--disable-sync",
                     "--user-data-dir=" + env.Path("config/chromium"),
                     "--profile-directory=" + profile, "--dump-dom", site + profile.substr(0, 1)},
                    60000),
                0);
        }
        ASSERT_EQ(traces::RunCommand({"firefox-esr", "--headless", "--screenshot",
                                      env.Path("shot.png"), site + "F"},
                                     60000),
                  0);
        ::kill(server, SIGKILL);
        ::waitpid(server, nullptr, 0);
        fs::current_path("/");
        for (const char* gone : {"www", "server.py", "port", "shot.png"}) {
            fs::remove_all(env.Path(gone));
        }
    }

    // The desktop's traces, and what a clean must leave alone.
    static void PutTheDesktopsTraces(const TempEnvironment& env) {
        Put(env.Path("data/recently-used.xbel"),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<xbel version=\"1.0\">\n"
            "<bookmark href=\"file:///home/u/secret.pdf\" added=\"2026-01-01T00:00:00Z\"/>\n"
            "</xbel>\n");
        Put(env.Path("data/RecentDocuments/secret.pdf.desktop"), "[Desktop Entry]\nURL=/s\n");
        Put(env.Path("cache/thumbnails/normal/0123456789abcdef.png"), std::string(5000, 't'));
        Put(env.Path("cache/thumbnails/fail/gnome/aa.png"), "t");
        Put(env.Path("config/krunnerstaterc"), "[PlasmaRunnerManager]\nhistory=ls,top\nkeep=1\n");
        Put(env.Path("cache/xfce4/xfce4-appfinder/history"), "gimp\n");
        Put(env.Path("cache/rofi3.druncache"), "firefox\n");
        Put(env.Path("cache/dmenu_run"), "xterm\n");
        Put(env.Path("data/klipper/history2.lst"), "copied secret");
        Put(env.Path("home/Documents/report.txt"), std::string(9000, 'r'));
        Put(env.Path("home/Documents/.hidden-note"), "stays");
        Put(env.Path("home/Documents/drafts/one.txt"), "1");
        Put(env.Path("home/Documents/drafts/two/three.txt"), "3");
        Put(env.Path("data/Trash/files/old.txt"), "old");
        Put(env.Path("data/Trash/info/old.txt.trashinfo"), "[Trash Info]\nPath=/old.txt\n");
        Put(env.Path("data/Trash/files/olddir/inner.txt"), "inner");
        Put(env.Path("tmp/session.tmp"), "tmp");
        Put(env.Path("tmp/build/obj.o"), std::string(20000, 'o'));
        Put(env.Path("cache/otherprogram/state.bin"), "another program's cache stays");
        Put(env.Path("config/otherprogram.conf"), "stays");
    }

    static void StoreTheOptionsAndATypedAddress() {
        // The options stored for the program folder, as the main window stores them.
        store::SqliteRegistry registry(store::SqliteRegistry::DefaultPath());
        store::RegistrySettingsStore settings(registry);
        for (int index = 0; index < 16; ++index) {
            const bool checked = index != 0 && index != 8;  // bookmarks stay
            settings.SaveSetting(kProgramFolder, "Settings", "Index" + std::to_string(index),
                                 checked ? "1" : "0");
        }
        settings.SaveSetting(kProgramFolder, "Settings", "Index1", "3");  // never stored
        store::HKEY key = 0;
        ASSERT_EQ(registry.RegCreateKeyExA(store::HKEY_CURRENT_USER,
                                           "Software\\Microsoft\\Internet Explorer\\TypedURLs",
                                           store::KEY_WRITE, key),
                  store::ERROR_SUCCESS);
        const std::string url = "http://typed.example/";
        registry.RegSetValueExA(key, "url1", store::REG_SZ,
                                reinterpret_cast<const unsigned char*>(url.c_str()),
                                static_cast<std::uint32_t>(url.size() + 1));
        registry.RegCloseKey(key);
    }

    static void TearDownTestSuite() { filled_.reset(); }

    CleanCommandTest() {
        for (const auto& entry : fs::directory_iterator(filled_->Root())) {
            fs::remove_all(env.Path(entry.path().filename().string()));
            fs::copy(entry.path(), env.Path(entry.path().filename().string()),
                     fs::copy_options::recursive | fs::copy_options::copy_symlinks);
        }
        fs::permissions(env.Path("runtime"), fs::perms::owner_all, fs::perm_options::replace);
        env.Set("DISPLAY", std::nullopt);  // never the clipboard of the session we run in
    }

    // Every file below the home but our own outputs and the registry store, which a
    // run writes (what it writes there is checked through the registry).
    [[nodiscard]] std::map<std::string, std::string> Home() const {
        auto files = Snapshot(env.Root());
        std::erase_if(files, [&](const auto& entry) {
            return entry.first.rfind(env.Path("out"), 0) == 0 ||
                   entry.first.rfind(env.Path("runtime"), 0) == 0;
        });
        return files;
    }

    [[nodiscard]] std::string FirefoxProfile() const {
        for (const auto& entry : fs::directory_iterator(env.Path("config/mozilla/firefox"))) {
            if (entry.path().string().ends_with(".default-esr")) {
                return entry.path().string();
            }
        }
        return {};
    }

    // The preview, as JSON and as text, leaves the home as it was.
    void PreviewChangesNothing(const std::map<std::string, std::string>& before, Result& preview) {
        preview = RunClean(env, {"--preview", "--json"});
        ASSERT_EQ(preview.code, 0) << preview.err;
        EXPECT_EQ(preview.err, "") << "no progress line when standard error is not a terminal";
        EXPECT_EQ(Home(), before) << "the preview changed the home";
        const Result text = RunClean(env, {"--preview"});
        ASSERT_EQ(text.code, 0) << text.err;
        EXPECT_NE(text.out.find("Nothing was changed."), std::string::npos) << text.out;
        EXPECT_EQ(Home(), before);
    }

    // Every option's items, all in order and by path; the options the filled home has.
    static void CollectPreviewItems(const json& document, std::vector<json>& all,
                                    std::map<std::string, json>& items) {
        std::vector<int> indexes;
        for (const json& option : document["options"]) {
            indexes.push_back(option["index"].get<int>());
            EXPECT_EQ(option["skipped"].size(), 0U) << option.dump();
            EXPECT_EQ(option["notes"].size(), 0U) << option.dump();
            for (const json& item : option["items"]) {
                items[item["path"].get<std::string>()] = item;
                all.push_back(item);
            }
        }
        EXPECT_EQ(indexes, (std::vector<int>{2, 3, 4, 5, 6, 7, 9, 11, 12, 13, 14, 15}));
    }

    void ExpectTheKnownTracesPreviewed(std::map<std::string, json>& items) {
        const std::string firefox = FirefoxProfile();
        ASSERT_FALSE(firefox.empty());
        const std::string chromium = env.Path("config/chromium/");
        const std::string cookies =
            fs::exists(chromium + "Default/Network/Cookies") ? "Network/Cookies" : "Cookies";
        for (const std::string& expected :
             {firefox + "/places.sqlite",
              firefox + "/cookies.sqlite",
              chromium + "Default/History",
              chromium + "Profile 1/History",
              chromium + "Default/" + cookies,
              chromium + "Profile 1/" + cookies,
              env.Path("data/recently-used.xbel"),
              env.Path("data/RecentDocuments"),
              env.Path("cache/thumbnails/normal"),
              env.Path("home/Documents/report.txt"),
              env.Path("home/Documents/drafts"),
              env.Path("data/Trash/files/old.txt"),
              env.Path("data/Trash/files/olddir"),
              env.Path("data/Trash/info/old.txt.trashinfo"),
              env.Path("tmp/session.tmp"),
              env.Path("tmp/build"),
              env.Path("config/krunnerstaterc"),
              env.Path("cache/rofi3.druncache"),
              env.Path("data/klipper/history2.lst"),
              std::string(
                  "HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\TypedURLs")}) {
            EXPECT_EQ(items.count(expected), 1U) << expected << " is not in the preview";
        }
        EXPECT_EQ(items.count(env.Path("home/Documents/.hidden-note")), 0U) << "hidden files stay";
        EXPECT_EQ(items[env.Path("home/Documents/drafts")]["files"], 2);
    }

    // Each item counts what it frees on disk; the document's totals add them up.
    static void ExpectTheSizesOnDisk(const json& document, const std::vector<json>& all,
                                     std::map<std::string, json>& items) {
        std::uint64_t total = 0;
        for (const json& item : all) {
            total += item["bytes"].get<std::uint64_t>();
            const std::string path = item["path"].get<std::string>();
            if (path[0] != '/') {
                continue;  // a registry key or value, the clipboard
            }
            std::uint64_t onDisk = DiskUsage(path);
            if (IsDatabaseKind(item)) {
                for (const char* companion : {"-wal", "-shm", "-journal"}) {
                    onDisk += DiskUsage(path + companion);
                }
            }
            if (item["kind"] == "database rows") {
                // What the edit and its compaction free: never the whole database.
                EXPECT_LT(item["bytes"].get<std::uint64_t>(), onDisk) << path;
                if (item["what"] == "history") {
                    EXPECT_GT(item["rows"].get<std::uint64_t>(), 0U) << path;
                }
                continue;
            }
            EXPECT_EQ(item["bytes"].get<std::uint64_t>(), onDisk) << path;
        }
        EXPECT_EQ(std::count_if(all.begin(), all.end(),
                                [&](const json& item) {
                                    return item["kind"] != "database rows" &&
                                           item["kind"] != "setting" &&
                                           items[item["path"].get<std::string>()] != item;
                                }),
                  0)
            << "no file or folder is counted twice";
        EXPECT_EQ(document["bytes"].get<std::uint64_t>(), total);
        EXPECT_EQ(document["items"].get<std::size_t>(), all.size());
    }

    void RunErasesAndSaysSo() {
        const Result run = RunClean(env, {"--run"});
        EXPECT_EQ(run.code, 0) << run.out << run.err;
        EXPECT_EQ(run.err, "");
        EXPECT_NE(run.out.find("Finished Erasing Internet History\nPath: "), std::string::npos)
            << "one entry a line, no colours when piped:\n"
            << run.out;
        EXPECT_TRUE(run.out.ends_with("\nDone\n")) << run.out;
        EXPECT_EQ(run.out.find('\033'), std::string::npos);
    }

    void ExpectThePreviewedItemsGone(const std::map<std::string, json>& items) {
        for (const auto& [path, item] : items) {
            const std::string kind = item["kind"].get<std::string>();
            SCOPED_TRACE(path + " (" + kind + ")");
            if (kind == "file" || kind == "folder") {
                EXPECT_FALSE(fs::exists(fs::symlink_status(path)));
                EXPECT_FALSE(fs::exists(path + "-wal"));
                EXPECT_FALSE(fs::exists(path + "-journal"));
            } else if (kind == "folder contents") {
                EXPECT_TRUE(fs::is_directory(path) && fs::is_empty(path));
            } else if (kind == "database rows") {
                EXPECT_EQ(IntegrityCheck(path), "ok");
                const std::string what = item["what"].get<std::string>();
                const bool firefoxDb = item["browser"] == "Firefox";
                if (what == "history") {
                    EXPECT_EQ(QueryNumber(path, firefoxDb ? "SELECT count(*) FROM moz_historyvisits"
                                                          : "SELECT count(*) FROM visits"),
                              0);
                } else if (what == "typed addresses") {
                    EXPECT_EQ(QueryNumber(
                                  path, firefoxDb ? "SELECT count(*) FROM moz_places WHERE typed"
                                                  : "SELECT count(*) FROM urls WHERE typed_count"),
                              0);
                }
            } else if (kind == "setting") {
                EXPECT_EQ(ReadFile(path).find("secret"), std::string::npos);
                EXPECT_EQ(ReadFile(path).find("history="), std::string::npos);
            }
        }
        EXPECT_NE(ReadFile(env.Path("config/krunnerstaterc")).find("keep=1"), std::string::npos)
            << "the entries that are not the history stay";
    }

    void ExpectNothingElseChanged(const std::map<std::string, std::string>& before,
                                  const std::map<std::string, std::string>& after,
                                  const std::map<std::string, json>& items) {
        const auto edited = [&](const std::string& path) {
            for (const auto& [itemPath, item] : items) {
                const bool inside = path == itemPath || path.rfind(itemPath + "/", 0) == 0 ||
                                    path.rfind(itemPath + "-", 0) == 0;
                if (inside) {
                    return true;
                }
            }
            return path.rfind(env.Path("config/orvelle"), 0) == 0;
        };
        for (const auto& [path, content] : before) {
            if (!edited(path)) {
                const auto found = after.find(path);
                EXPECT_TRUE(found != after.end() && found->second == content)
                    << path << " was not previewed but changed";
            }
        }
        EXPECT_TRUE(fs::exists(env.Path("home/Documents/.hidden-note")));
        store::SqliteRegistry registry(store::SqliteRegistry::DefaultPath());
        store::HKEY key = 0;
        EXPECT_NE(registry.RegOpenKeyExA(store::HKEY_CURRENT_USER,
                                         "Software\\Microsoft\\Internet Explorer\\TypedURLs",
                                         store::KEY_READ, key),
                  store::ERROR_SUCCESS);
    }

    static std::unique_ptr<TempEnvironment> filled_;
    TempEnvironment env;
};

std::unique_ptr<TempEnvironment> CleanCommandTest::filled_;

TEST_F(CleanCommandTest, PreviewListsWhatIsOnDiskChangesNothingAndTheRunErasesExactlyThat) {
    const auto before = Home();
    Result preview{};
    ASSERT_NO_FATAL_FAILURE(PreviewChangesNothing(before, preview));

    const json document = json::parse(preview.out);
    std::vector<json> all;
    std::map<std::string, json> items;  // path → item (a database may serve two options)
    CollectPreviewItems(document, all, items);
    ASSERT_NO_FATAL_FAILURE(ExpectTheKnownTracesPreviewed(items));
    ExpectTheSizesOnDisk(document, all, items);

    RunErasesAndSaysSo();

    // What was previewed is gone; what a database or setting kept is sound.
    const auto after = Home();
    ExpectThePreviewedItemsGone(items);
    ExpectNothingElseChanged(before, after, items);
}

TEST_F(CleanCommandTest, AProfileInUseStaysIsNamedOnStandardErrorAndTheRunExitsOne) {
    const std::string firefox = FirefoxProfile();
    ASSERT_FALSE(firefox.empty());
    // Firefox's own lock: a dangling link naming a process that is alive.
    fs::remove(firefox + "/lock");  // what Firefox left when it ended
    fs::create_symlink("127.0.0.1:+" + std::to_string(::getpid()), firefox + "/lock");
    const auto profileBefore = Snapshot(firefox);
    const Result run = RunClean(env, {"--run", "--only", "7,9"});
    EXPECT_EQ(run.code, 1) << run.out << run.err;
    EXPECT_NE(run.err.find("Firefox profile \"default-esr\" (" + firefox +
                           ") is in use by process " + std::to_string(::getpid())),
              std::string::npos)
        << run.err;
    EXPECT_EQ(Snapshot(firefox), profileBefore);
    EXPECT_EQ(
        QueryNumber(env.Path("config/chromium/Default/History"), "SELECT count(*) FROM visits"), 0)
        << "the other profiles are cleaned";
    EXPECT_TRUE(run.out.ends_with("\nDone\n2 problems: see the red lines above\n"))
        << "one red line for each of the two steps" << run.out;
}

TEST_F(CleanCommandTest, JsonDocumentsCarryTheDocumentedFields) {
    const Result list = RunClean(env, {"--list", "--json"});
    ASSERT_EQ(list.code, 0) << list.err;
    const json listed = json::parse(list.out);
    EXPECT_EQ(listed["programFolder"], kProgramFolder);
    ASSERT_EQ(listed["options"].size(), 16U);
    for (int index = 0; index < 16; ++index) {
        const json& option = listed["options"][static_cast<std::size_t>(index)];
        EXPECT_EQ(option["index"], index);
        EXPECT_TRUE(option["caption"].is_string());
        EXPECT_TRUE(option["state"].is_number_integer());
        EXPECT_TRUE(option["stored"].is_boolean());
        EXPECT_EQ(option["hasStep"], index != 0 && index != 1 && index != 10);
        EXPECT_TRUE(option["message"].is_string());
    }
    EXPECT_EQ(listed["options"][0]["state"], 0) << "stored unchecked";
    EXPECT_EQ(listed["options"][1]["stored"], false) << "\"3\" reads as never stored";
    EXPECT_EQ(listed["options"][1]["state"], 1) << "so the default holds";
    EXPECT_EQ(listed["options"][8]["caption"], "Clear Browser Favorites ");
    EXPECT_EQ(listed["options"][6]["message"], "Erasing Internet Cashe");

    const std::string firefox = FirefoxProfile();
    fs::remove(firefox + "/lock");  // what Firefox left when it ended
    fs::create_symlink("127.0.0.1:+" + std::to_string(::getpid()), firefox + "/lock");
    const Result preview = RunClean(env, {"--preview", "--json", "--only", "7"});
    ASSERT_EQ(preview.code, 0) << preview.err;
    const json document = json::parse(preview.out);
    EXPECT_TRUE(document["bytes"].is_number_unsigned());
    EXPECT_TRUE(document["items"].is_number_unsigned());
    ASSERT_EQ(document["options"].size(), 1U);
    const json& option = document["options"][0];
    EXPECT_EQ(option["index"], 7);
    EXPECT_EQ(option["caption"], "Clear Browser Cookies");
    EXPECT_EQ(option["message"], "Erasing Browser Cookies");
    EXPECT_TRUE(option["notes"].is_array());
    ASSERT_FALSE(option["items"].empty());
    for (const json& item : option["items"]) {
        for (const char* field : {"path", "kind", "what", "browser", "profile"}) {
            EXPECT_TRUE(item[field].is_string()) << field;
        }
        for (const char* field : {"bytes", "files", "kept"}) {
            EXPECT_TRUE(item[field].is_number_unsigned()) << field;
        }
        EXPECT_EQ(item["browser"], "Chromium") << "Firefox is in use";
    }
    ASSERT_EQ(option["skipped"].size(), 1U);
    const json& skipped = option["skipped"][0];
    EXPECT_EQ(skipped["browser"], "Firefox");
    EXPECT_EQ(skipped["profile"], "default-esr");
    EXPECT_EQ(skipped["folder"], firefox);
    EXPECT_EQ(skipped["reason"], "in use by process " + std::to_string(::getpid()));
    EXPECT_TRUE(skipped["text"].is_string());
}

TEST_F(CleanCommandTest, ARunWaitsWhileAnotherCleanHoldsTheLockOrRefusesWithNoWait) {
    os::posix::FlockCleaningLock window;  // the main window, cleaning
    ASSERT_EQ(window.TryLock(), "");
    const Result refused = RunClean(env, {"--run", "--only", "0", "--no-wait"});
    EXPECT_EQ(refused.code, 3);
    EXPECT_NE(refused.err.find("another clean is running (process " + std::to_string(::getpid())),
              std::string::npos)
        << refused.err;
    EXPECT_EQ(refused.out, "");

    Clean waiting({"--run", "--only", "0"}, env.Path("out"));
    ASSERT_TRUE(WaitFor([&] { return waiting.Err().find("waiting for it") != std::string::npos; }))
        << waiting.Err();
    EXPECT_TRUE(waiting.Running());
    EXPECT_EQ(waiting.Out(), "");
    window.Unlock();
    EXPECT_EQ(waiting.Wait(), 0);
    EXPECT_EQ(waiting.Out(), "Done\n");
}

TEST_F(CleanCommandTest, BadArgumentsExitTwoAndChangeNothing) {
    const auto before = Home();
    const Result bad = RunClean(env, {"--run", "--only", "99"});
    EXPECT_EQ(bad.code, 2);
    EXPECT_NE(bad.err.find("from 0 to 15"), std::string::npos) << bad.err;
    EXPECT_EQ(Home(), before);
}

TEST_F(CleanCommandTest, TheClipboardOptionTakesBothSelectionsFromTheirOwnerOnTheDisplay) {
    // A real X server of our own, and a program that owns both selections on it.
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const std::string displayFd = std::to_string(ready[1]);
    std::vector<std::string> argv = {"Xvfb", "-displayfd", displayFd, "-nolisten", "tcp"};
    std::vector<char*> args;
    for (std::string& arg : argv) {
        args.push_back(arg.data());
    }
    args.push_back(nullptr);
    pid_t server = -1;
    ASSERT_EQ(posix_spawnp(&server, "Xvfb", nullptr, nullptr, args.data(), environ), 0)
        << "Xvfb is missing";
    ::close(ready[1]);
    std::string number;
    char c = 0;
    while (::read(ready[0], &c, 1) == 1 && c != '\n') {
        number += c;
    }
    ::close(ready[0]);
    ASSERT_FALSE(number.empty());
    env.Set("DISPLAY", ":" + number);
    xcb_connection_t* owner = xcb_connect(nullptr, nullptr);
    ASSERT_EQ(xcb_connection_has_error(owner), 0);
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(owner)).data;
    const xcb_window_t window = xcb_generate_id(owner);
    xcb_create_window(owner, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
    xcb_intern_atom_reply_t* atom =
        xcb_intern_atom_reply(owner, xcb_intern_atom(owner, 0, 9, "CLIPBOARD"), nullptr);
    ASSERT_NE(atom, nullptr);
    const xcb_atom_t selections[] = {atom->atom, XCB_ATOM_PRIMARY};
    std::free(atom);
    const auto ownerOf = [&](xcb_atom_t selection) {
        xcb_get_selection_owner_reply_t* reply = xcb_get_selection_owner_reply(
            owner, xcb_get_selection_owner(owner, selection), nullptr);
        const xcb_window_t found = reply != nullptr ? reply->owner : 1;
        std::free(reply);
        return found;
    };
    for (const xcb_atom_t selection : selections) {
        xcb_set_selection_owner(owner, window, selection, XCB_CURRENT_TIME);
        ASSERT_EQ(ownerOf(selection), window);
    }

    const Result run = RunClean(env, {"--run", "--only", "12"});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.out, "Done\n") << "the clipboard step writes no line";
    for (const xcb_atom_t selection : selections) {
        EXPECT_EQ(ownerOf(selection), static_cast<xcb_window_t>(XCB_NONE));
    }
    xcb_disconnect(owner);
    ::kill(server, SIGTERM);
    ::waitpid(server, nullptr, 0);
}

}  // namespace
