// The trace catalog on a private home: which profiles it finds, what each option
// erases of the desktop's traces, the settings files it rewrites, and the safety
// rules, each broken on purpose.

#include "BrowserProfiles.h"
#include "CommandRunner.h"
#include "Immutable.h"
#include "LinuxTraceCatalog.h"
#include "TraceTestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>

using namespace orvelle;
using namespace orvelle::test;
using namespace orvelle::traces;
using testing::ElementsAre;
using testing::HasSubstr;
using testing::UnorderedElementsAre;
using traces::TraceFindings;
using traces::TraceItem;

namespace fs = std::filesystem;

namespace {

std::string HostName() {
    char name[256] = {};
    ::gethostname(name, sizeof(name) - 1);
    return name;
}

// A process id that no process has now.
pid_t DeadPid() {
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return child;
}

class TraceCatalogTest : public ::testing::Test {
public:
    std::string Home(const std::string& relative) { return env.Path("home/" + relative); }
    std::string Config(const std::string& relative) { return env.Path("config/" + relative); }
    std::string Cache(const std::string& relative) { return env.Path("cache/" + relative); }
    std::string Data(const std::string& relative) { return env.Path("data/" + relative); }

    void FirefoxIndex(const std::string& root, const std::string& profiles) {
        Put(root + "/profiles.ini", profiles);
    }
    void ChromiumIndex(const std::string& root, const std::vector<std::string>& keys) {
        nlohmann::json cache = nlohmann::json::object();
        for (const std::string& key : keys) {
            cache[key] = {{"name", "Person " + key}};
        }
        Put(root + "/Local State",
            nlohmann::json{{"profile", {{"info_cache", cache}}}, {"browser", {{"x", 1}}}}.dump());
    }
    // Finds and applies every item of the options; the texts of what failed.
    std::vector<std::string> Clean(std::initializer_list<int> options) {
        std::vector<std::string> failures;
        for (const int option : options) {
            const TraceFindings found = catalog.Find(option);
            for (const auto& skipped : found.skipped) {
                failures.push_back(skipped.profileFolder + ": " + skipped.reason);
            }
            for (const TraceItem& item : found.items) {
                if (const auto outcome = catalog.Apply(item); !outcome.ok()) {
                    failures.push_back(outcome.error);
                }
            }
        }
        return failures;
    }
    std::vector<std::string> FoundPaths(int option) {
        std::vector<std::string> paths;
        for (const TraceItem& item : catalog.Find(option).items) {
            paths.push_back(item.path);
        }
        return paths;
    }

    TempEnvironment env;
    LinuxTraceCatalog catalog;
};

TEST_F(TraceCatalogTest, ProfilesComeFromEveryIndexAndLayoutAndNothingElse) {
    FirefoxIndex(Home(".mozilla/firefox"),
                 "[General]\nVersion=2\n\n[Profile0]\nName=default\nIsRelative=1\nPath=a.default\n"
                 "[Profile1]\nName=elsewhere\nIsRelative=0\nPath=" +
                     env.Path("elsewhere") + "\n");
    Put(Config("mozilla/firefox/installs.ini"), "[4F96D1932A9F858E]\nDefault=b.default-esr\n");
    FirefoxIndex(Home("snap/firefox/common/.mozilla/firefox"),
                 "[Profile0]\nName=snap\nIsRelative=1\nPath=s.default\n");
    FirefoxIndex(Home(".var/app/org.mozilla.firefox/.mozilla/firefox"),
                 "[Profile0]\nName=flat\nIsRelative=1\nPath=f.default\n");
    for (const std::string& folder :
         {Home(".mozilla/firefox/a.default"), env.Path("elsewhere"),
          Config("mozilla/firefox/b.default-esr"),
          Home("snap/firefox/common/.mozilla/firefox/s.default"),
          Home(".var/app/org.mozilla.firefox/.mozilla/firefox/f.default"),
          Home(".mozilla/firefox/stray.default"), Config("chromium/Default"),
          Config("chromium/Profile 1"), Config("chromium/Profile 9"),
          Config("BraveSoftware/Brave-Browser/Default")}) {
        Put(folder + "/cookies.sqlite");
    }
    ChromiumIndex(Config("chromium"), {"Default", "Profile 1", "Gone"});
    ChromiumIndex(Config("BraveSoftware/Brave-Browser"), {"Default"});

    std::vector<std::string> found;
    for (const BrowserProfile& p : FindBrowserProfiles(HomeFolders::FromEnvironment()).profiles) {
        found.push_back(p.browser + " " + p.name + " " + p.folder + " " + p.cacheFolder);
    }
    EXPECT_THAT(
        found,
        UnorderedElementsAre(
            "Firefox default " + Home(".mozilla/firefox/a.default") + " " +
                Cache("mozilla/firefox/a.default"),
            // A profile listed by a full path is a real profile, its cache inside it.
            "Firefox elsewhere " + env.Path("elsewhere") + " " + env.Path("elsewhere"),
            "Firefox b.default-esr " + Config("mozilla/firefox/b.default-esr") + " " +
                Cache("mozilla/firefox/b.default-esr"),
            "Firefox (snap) snap " + Home("snap/firefox/common/.mozilla/firefox/s.default") + " " +
                Home("snap/firefox/common/.cache/mozilla/firefox/s.default"),
            "Firefox (flatpak) flat " +
                Home(".var/app/org.mozilla.firefox/.mozilla/firefox/f.default") + " " +
                Home(".var/app/org.mozilla.firefox/cache/mozilla/firefox/f.default"),
            "Chromium Default " + Config("chromium/Default") + " " + Cache("chromium/Default"),
            "Chromium Profile 1 " + Config("chromium/Profile 1") + " " +
                Cache("chromium/Profile 1"),
            "Brave Default " + Config("BraveSoftware/Brave-Browser/Default") + " " +
                Cache("BraveSoftware/Brave-Browser/Default")))
        << "stray.default and Profile 9 are in no index; Gone is not on disk";
}

TEST_F(TraceCatalogTest, AnIndexThatCannotBeUsedIsNamedNeverSkippedInSilence) {
    struct Row {
        const char* name;
        const char* file;
        std::string content;
        const char* why;  // "" for an index that is fine
    };
    const std::string good =
        "[General]\nVersion=2\n[Profile0]\nName=p\nIsRelative=1\nPath=p.default\n";
    const Row rows[] = {
        {"garbage", "profiles.ini", "\x7f\x45LF\x01 this is no index\n",
         "not an INI file (line 1)"},
        {"binary", "profiles.ini", std::string("[Profile0]\nPath=p\0\x01\n", 20), "binary data"},
        {"empty", "profiles.ini", "", "it is empty"},
        {"text without sections", "profiles.ini", "Path=p.default\n", "not an INI file (line 1)"},
        {"garbage installs.ini", "installs.ini", "%%%%\n", "not an INI file (line 1)"},
        {"comments and CRLF are fine", "profiles.ini",
         "# written by hand\r\n[General]\r\n\r\n;x\r\n[Profile0]\r\nPath=p.default\r\n", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string root = Home(".mozilla/firefox");
        RemoveTree(root);
        Put(root + "/p.default/cookies.sqlite");
        if (std::string(row.file) != "profiles.ini") {
            FirefoxIndex(root, good);
        }
        Put(root + "/" + row.file, row.content);
        const ProfileList list = FindBrowserProfiles(HomeFolders::FromEnvironment());
        if (std::string(row.why).empty()) {
            EXPECT_TRUE(list.refused.empty());
            EXPECT_EQ(list.profiles.size(), 1U);
            continue;
        }
        ASSERT_EQ(list.refused.size(), 1U);
        EXPECT_EQ(list.refused[0].profileFolder, root + "/" + row.file);
        EXPECT_THAT(list.refused[0].reason, HasSubstr(row.why));
        EXPECT_THAT(Clean({7}), testing::Contains(HasSubstr(root + "/" + row.file)))
            << "the cookie step names it";
    }
    // A folder where the index should be is named too.
    RemoveTree(Home(".mozilla/firefox"));
    fs::create_directories(Home(".mozilla/firefox/profiles.ini"));
    const ProfileList list = FindBrowserProfiles(HomeFolders::FromEnvironment());
    ASSERT_EQ(list.refused.size(), 1U);
    EXPECT_THAT(list.refused[0].reason, HasSubstr("not a file"));
}

TEST_F(TraceCatalogTest, ASymlinkedDatabaseIsRefusedInSoManyWords) {
    FirefoxIndex(Home(".mozilla/firefox"), "[Profile0]\nName=p\nIsRelative=1\nPath=p.default\n");
    Put(env.Path("outside/places.sqlite"), "someone else's file");
    fs::create_directories(Home(".mozilla/firefox/p.default"));
    fs::create_symlink(env.Path("outside/places.sqlite"),
                       Home(".mozilla/firefox/p.default/places.sqlite"));
    const auto failures = Clean({9});
    EXPECT_THAT(failures,
                testing::Contains("\"" + Home(".mozilla/firefox/p.default/places.sqlite") +
                                  "\" is a symbolic link: not cleaned"));
    EXPECT_EQ(ReadFile(env.Path("outside/places.sqlite")), "someone else's file");
}

TEST_F(TraceCatalogTest, ADatabaseGoesWithItsCompanionsAndNothingElseGoes) {
    FirefoxIndex(Home(".mozilla/firefox"), "[Profile0]\nName=p\nIsRelative=1\nPath=p\n");
    const std::string firefox = Home(".mozilla/firefox/p");
    for (const char* name : {"cookies.sqlite", "cookies.sqlite-wal", "cookies.sqlite-shm",
                             "cookiesXsqlite", "prefs.js", "places.sqlite-wal"}) {
        Put(firefox + "/" + name);
    }
    ChromiumIndex(Config("chromium"), {"Default"});
    const std::string chromium = Config("chromium/Default");
    for (const char* name :
         {"Cookies", "Cookies-journal", "Network/Cookies", "Network/Cookies-journal",
          "Extension Cookies", "Network/Trust Tokens", "Login Data"}) {
        Put(chromium + "/" + name);
    }
    auto before = Snapshot(env.Root());
    EXPECT_THAT(Clean({7}), ElementsAre());
    const auto after = Snapshot(env.Root());
    std::vector<std::string> gone;
    for (const auto& [path, content] : before) {
        if (after.count(path) == 0) {
            gone.push_back(path.substr(env.Root().size() + 1));
        }
    }
    EXPECT_THAT(gone, UnorderedElementsAre("home/.mozilla/firefox/p/cookies.sqlite",
                                           "home/.mozilla/firefox/p/cookies.sqlite-wal",
                                           "home/.mozilla/firefox/p/cookies.sqlite-shm",
                                           "config/chromium/Default/Cookies",
                                           "config/chromium/Default/Cookies-journal",
                                           "config/chromium/Default/Network/Cookies",
                                           "config/chromium/Default/Network/Cookies-journal",
                                           "config/chromium/Default/Extension Cookies"));
}

struct LockCase {
    const char* name;
    const char* lockName;  // "lock" (Firefox) or "SingletonLock"
    std::string target;    // the link's text; "" for no lock at all
    bool inUse;
};

class ProfileLockTest : public TraceCatalogTest, public ::testing::WithParamInterface<LockCase> {};

TEST_P(ProfileLockTest, TheLockNotAProcessNameTells) {
    const std::string lock = env.Path(std::string("p/") + GetParam().lockName);
    fs::create_directories(env.Path("p"));
    if (!GetParam().target.empty()) {
        fs::create_symlink(GetParam().target, lock);
    }
    EXPECT_EQ(!ProfileInUse(lock).empty(), GetParam().inUse) << ProfileInUse(lock);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ProfileLockTest,
    ::testing::Values(
        LockCase{"FirefoxRunning", "lock", "127.0.0.1:+" + std::to_string(::getpid()), true},
        LockCase{"FirefoxStale", "lock", "127.0.0.1:+" + std::to_string(DeadPid()), false},
        LockCase{"FirefoxUnreadable", "lock", "garbage", true},
        LockCase{"NoLock", "lock", "", false},
        LockCase{"ChromiumRunning", "SingletonLock", HostName() + "-" + std::to_string(::getpid()),
                 true},
        LockCase{"ChromiumStale", "SingletonLock", HostName() + "-" + std::to_string(DeadPid()),
                 false},
        LockCase{"ChromiumOnAnotherHost", "SingletonLock", "elsewhere.example-1", true}),
    [](const auto& rowInfo) { return std::string(rowInfo.param.name); });

TEST_F(TraceCatalogTest, AProfileInUseIsReportedAndLeftAloneTheOthersAreCleaned) {
    FirefoxIndex(Home(".mozilla/firefox"),
                 "[Profile0]\nName=busy\nIsRelative=1\nPath=busy\n"
                 "[Profile1]\nName=idle\nIsRelative=1\nPath=idle\n");
    Put(Home(".mozilla/firefox/busy/cookies.sqlite"));
    Put(Home(".mozilla/firefox/idle/cookies.sqlite"));
    fs::create_symlink("127.0.0.1:+" + std::to_string(::getpid()),
                       Home(".mozilla/firefox/busy/lock"));
    const auto found = catalog.Find(7);
    ASSERT_EQ(found.skipped.size(), 1U);
    EXPECT_EQ(found.skipped[0].profile, "busy");
    EXPECT_THAT(found.skipped[0].reason, HasSubstr(std::to_string(::getpid())));
    ASSERT_EQ(found.items.size(), 1U);
    EXPECT_TRUE(catalog.Apply(found.items[0]).ok());
    EXPECT_TRUE(Exists(Home(".mozilla/firefox/busy/cookies.sqlite")));
    EXPECT_FALSE(Exists(Home(".mozilla/firefox/idle/cookies.sqlite")));

    // A browser started between finding and erasing is noticed when erasing.
    Put(Home(".mozilla/firefox/idle/cookies.sqlite"));
    const auto again = catalog.Find(7);
    ASSERT_EQ(again.items.size(), 1U);
    fs::create_symlink("127.0.0.1:+" + std::to_string(::getpid()),
                       Home(".mozilla/firefox/idle/lock"));
    EXPECT_THAT(catalog.Apply(again.items[0]).error, HasSubstr("\"idle\" is in use"));
    EXPECT_TRUE(Exists(Home(".mozilla/firefox/idle/cookies.sqlite")));
}

struct SafetyCase {
    const char* name;
    // Builds the bad index (and what must survive) below the test's root.
    std::function<void(TraceCatalogTest&, TempEnvironment&)> build;
    const char* reason;  // in the skipped entry
};

class SafetyTest : public TraceCatalogTest, public ::testing::WithParamInterface<SafetyCase> {};

// Every browser option finds and erases with the bad index in place: nothing changes
// anywhere, and the profile is reported.
TEST_P(SafetyTest, ABrokenRuleChangesNothing) {
    // What a mistaken walk would destroy: traces-like names in the home and outside it.
    for (const std::string& folder : {env.Path("home"), env.Path("outside")}) {
        for (const char* name : {"cookies.sqlite", "places.sqlite", "Cookies", "History",
                                 "cache2/entry", "Cache/data_0", "Bookmarks"}) {
            Put(folder + "/" + name);
        }
    }
    GetParam().build(*this, env);
    const auto before = Snapshot(env.Root());
    std::vector<std::string> skipped;
    for (const int option : {2, 6, 7, 8, 9}) {
        const auto found = catalog.Find(option);
        EXPECT_THAT(found.items, ElementsAre()) << option;
        for (const auto& each : found.skipped) {
            skipped.push_back(each.reason);
        }
        for (const auto& item : found.items) {
            static_cast<void>(catalog.Apply(item));
        }
    }
    EXPECT_EQ(Snapshot(env.Root()), before);
    ASSERT_FALSE(skipped.empty());
    EXPECT_THAT(skipped[0], HasSubstr(GetParam().reason));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SafetyTest,
    ::testing::Values(
        SafetyCase{"SymlinkedFirefoxProfile",
                   [](TraceCatalogTest& fixture, TempEnvironment& e) {
                       fixture.FirefoxIndex(e.Path("home/.mozilla/firefox"),
                                            "[Profile0]\nName=l\nIsRelative=1\nPath=linked\n");
                       fs::create_symlink(e.Path("outside"),
                                          e.Path("home/.mozilla/firefox/linked"));
                   },
                   "symbolic link"},
        SafetyCase{"SymlinkedChromiumProfile",
                   [](TraceCatalogTest& fixture, TempEnvironment& e) {
                       fixture.ChromiumIndex(e.Path("config/chromium"), {"Default"});
                       fs::create_symlink(e.Path("outside"), e.Path("config/chromium/Default"));
                   },
                   "symbolic link"},
        SafetyCase{"IndexNamesTheHomeFolder",
                   [](TraceCatalogTest& fixture, TempEnvironment& e) {
                       fixture.FirefoxIndex(
                           e.Path("home/.mozilla/firefox"),
                           "[Profile0]\nName=h\nIsRelative=0\nPath=" + e.Path("home") + "/\n");
                   },
                   "home folder"},
        SafetyCase{"IndexNamesTheRoot",
                   [](TraceCatalogTest& fixture, TempEnvironment& e) {
                       fixture.FirefoxIndex(e.Path("home/.mozilla/firefox"),
                                            "[Profile0]\nName=r\nIsRelative=0\nPath=/\n");
                   },
                   "root folder"},
        SafetyCase{"RelativePathLeavesTheRoot",
                   [](TraceCatalogTest& fixture, TempEnvironment& e) {
                       fixture.FirefoxIndex(
                           e.Path("home/.mozilla/firefox"),
                           "[Profile0]\nName=u\nIsRelative=1\nPath=../../../outside\n");
                   },
                   "leaves the profile folder"},
        SafetyCase{"ChromiumKeyLeavesTheRoot",
                   [](TraceCatalogTest& fixture, TempEnvironment& e) {
                       fixture.ChromiumIndex(e.Path("config/chromium"), {".."});
                   },
                   "not a profile folder"}),
    [](const auto& rowInfo) { return std::string(rowInfo.param.name); });

// A places.sqlite whose last transactions are still only in its -wal, as a browser
// killed before checkpointing leaves it.
void HotPlaces(const std::string& profile) {
    const std::string scratch = profile + ".scratch";
    fs::create_directories(scratch);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((scratch + "/places.sqlite").c_str(), &db), SQLITE_OK);
    const char* sql =
        "PRAGMA journal_mode=WAL; PRAGMA wal_autocheckpoint=0;"
        "CREATE TABLE moz_places(id INTEGER PRIMARY KEY, url TEXT, typed INTEGER DEFAULT 0,"
        " visit_count INTEGER DEFAULT 0, last_visit_date INTEGER, foreign_count INTEGER DEFAULT 0);"
        "CREATE TABLE moz_bookmarks(id INTEGER PRIMARY KEY, fk INTEGER, guid TEXT);"
        "CREATE TABLE moz_historyvisits(id INTEGER PRIMARY KEY, place_id INTEGER);"
        "INSERT INTO moz_places(id, url, typed, visit_count) VALUES (1, 'http://kept/', 1, 3),"
        " (2, 'http://visited/', 1, 1);"
        "INSERT INTO moz_bookmarks VALUES (1, 1, 'bookmark____');"
        "INSERT INTO moz_historyvisits VALUES (1, 1), (2, 2);";
    ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK);
    // Copied while the connection still holds everything in the -wal: a crash.
    for (const char* name : {"places.sqlite", "places.sqlite-wal"}) {
        fs::copy_file(scratch + "/" + name, profile + "/" + name);
    }
    sqlite3_close(db);
    fs::remove_all(scratch);
}

TEST_F(TraceCatalogTest, AHotWalIsRecoveredNotDeletedAndOtherDatabasesStay) {
    FirefoxIndex(Home(".mozilla/firefox"), "[Profile0]\nName=p\nIsRelative=1\nPath=p\n");
    const std::string profile = Home(".mozilla/firefox/p");
    fs::create_directories(profile);
    HotPlaces(profile);
    ASSERT_GT(fs::file_size(profile + "/places.sqlite-wal"), 0U);
    Put(profile + "/content-prefs.sqlite-wal", "hot frames of a database we do not name");
    Put(profile + "/content-prefs.sqlite", "its database");
    const auto others = Snapshot(profile);

    EXPECT_THAT(Clean({2, 9}), ElementsAre());
    const std::string places = profile + "/places.sqlite";
    EXPECT_EQ(IntegrityCheck(places), "ok");
    EXPECT_EQ(QueryNumber(places, "SELECT count(*) FROM moz_historyvisits"), 0);
    EXPECT_EQ(QueryNumber(places, "SELECT group_concat(id) FROM moz_places"), 1)
        << "the bookmarked page, committed only in the -wal, stays";
    EXPECT_EQ(QueryNumber(places, "SELECT typed + visit_count FROM moz_places"), 0);
    const auto after = Snapshot(profile);
    for (const char* name : {"/content-prefs.sqlite", "/content-prefs.sqlite-wal"}) {
        EXPECT_EQ(after.at(profile + name), others.at(profile + name)) << name;
    }
}

TEST_F(TraceCatalogTest, DesktopTracesGoAndOtherProgramsCachesStay) {
    Put(Data("recently-used.xbel"),
        "<?xml version=\"1.0\"?>\n<xbel version=\"1.0\"><bookmark "
        "href=\"file:///secret.txt\"/></xbel>");
    Put(Home(".var/app/org.gnome.TextEditor/data/recently-used.xbel"), "<xbel><bookmark/></xbel>");
    Put(Data("RecentDocuments/secret.txt.desktop"));
    Put(Cache("thumbnails/normal/0a1b.png"));
    Put(Cache("thumbnails/x-large/0a1c.png"));
    Put(Data("klipper/history2.lst"), "copied secret");
    Put(Cache("otherprogram/state.db"), "another program's cache");
    Put(Cache("mozilla/firefox/unindexed/cache2/entries/E"), "no index names this profile");
    ChromiumIndex(Config("chromium"), {"Default"});
    Put(Cache("chromium/Default/Cache/Cache_Data/f_000001"));
    Put(Cache("chromium/Default/Code Cache/js/index"));
    Put(Config("chromium/Default/GPUCache/data_0"));
    Put(Config("chromium/Default/Preferences"), "{}");

    EXPECT_THAT(Clean({3, 6, 12}), ElementsAre());
    const std::string isEmptyXbel =
        "import sys, xml.etree.ElementTree as E\n"
        "r = E.parse(sys.argv[1]).getroot()\n"
        "sys.exit(0 if r.tag == 'xbel' and len(r) == 0 else 1)\n";
    for (const std::string& xbel :
         {Data("recently-used.xbel"),
          Home(".var/app/org.gnome.TextEditor/data/recently-used.xbel")}) {
        EXPECT_EQ(RunCommand({"python3", "-c", isEmptyXbel, xbel}), 0) << xbel;
    }
    for (const std::string& folder :
         {Data("RecentDocuments"), Cache("thumbnails/normal"), Cache("thumbnails/x-large"),
          Cache("chromium/Default/Cache"), Cache("chromium/Default/Code Cache"),
          Config("chromium/Default/GPUCache")}) {
        EXPECT_TRUE(fs::is_directory(folder) && fs::is_empty(folder)) << folder;
    }
    EXPECT_FALSE(Exists(Data("klipper/history2.lst")));
    EXPECT_EQ(ReadFile(Cache("otherprogram/state.db")), "another program's cache");
    EXPECT_TRUE(Exists(Cache("mozilla/firefox/unindexed/cache2/entries/E")));
    EXPECT_EQ(ReadFile(Config("chromium/Default/Preferences")), "{}");
}

TEST_F(TraceCatalogTest, RunDialogHistoriesGoAndTheirOtherSettingsStay) {
    Put(Config("krunnerstaterc"),
        "[General]\nFreeFloating=true\n\n[PlasmaRunnerManager]\nLaunchCounts=5 firefox\n"
        "history=secret-command,ls\n");
    for (const char* file :
         {"xfce4/xfce4-appfinder/history", "rofi3.druncache", "rofi3.runcache", "dmenu_run"}) {
        Put(Cache(file), "secret-command\n");
    }
    // GNOME Shell's key through the real gsettings, on a schema of the same name.
    Put(env.Path("schemas/org.gnome.shell.gschema.xml"),
        "<schemalist><schema id=\"org.gnome.shell\" path=\"/org/gnome/shell/\">"
        "<key name=\"command-history\" type=\"as\"><default>[]</default></key>"
        "</schema></schemalist>");
    ASSERT_EQ(RunCommand({"glib-compile-schemas", env.Path("schemas")}), 0);
    env.Set("GSETTINGS_SCHEMA_DIR", env.Path("schemas"));
    env.Set("GSETTINGS_BACKEND", "keyfile");
    ASSERT_EQ(RunCommand(
                  {"gsettings", "set", "org.gnome.shell", "command-history", "['secret-command']"}),
              0);
    const std::string keyfile = Config("glib-2.0/settings/keyfile");
    ASSERT_THAT(ReadFile(keyfile), HasSubstr("secret-command"));

    EXPECT_THAT(FoundPaths(13), testing::Contains("org.gnome.shell command-history"));
    EXPECT_THAT(Clean({13}), ElementsAre());
    EXPECT_EQ(ReadFile(Config("krunnerstaterc")),
              "[General]\nFreeFloating=true\n\n[PlasmaRunnerManager]\nLaunchCounts=5 firefox\n");
    EXPECT_THAT(ReadFile(keyfile), testing::Not(HasSubstr("secret-command")));
    for (const char* file : {"xfce4/xfce4-appfinder/history", "rofi3.druncache", "dmenu_run"}) {
        EXPECT_FALSE(Exists(Cache(file))) << file;
    }

    // Without GNOME Shell's schema there is nothing to find, and no error.
    env.Set("GSETTINGS_SCHEMA_DIR", env.Path("no-schemas"));
    EXPECT_THAT(FoundPaths(13), testing::Not(testing::Contains("org.gnome.shell command-history")));
}

TEST_F(TraceCatalogTest, StartPageAndAutoFillKeepEverySettingTheyDoNotOwn) {
    FirefoxIndex(Home(".mozilla/firefox"), "[Profile0]\nName=p\nIsRelative=1\nPath=p\n");
    Put(Home(".mozilla/firefox/p/user.js"),
        "// mine\nuser_pref(\"browser.startup.homepage\", \"http://old/\");\n"
        "user_pref(\"privacy.resistFingerprinting\", true);");
    ChromiumIndex(Config("chromium"), {"Default", "Profile 1", "Profile 2"});
    Put(Config("chromium/Default/Preferences"),
        R"({"download":{"default_directory":"/home/u/Downloads"},"session":{"other":7,"restore_on_startup":1},"zzz":[1,2.5]})");
    Put(Config("chromium/Profile 1/Preferences"), "{not json");
    fs::create_directories(Config("chromium/Profile 2"));  // no Preferences: nothing to set

    std::vector<std::string> errors;
    for (const auto& found :
         {catalog.FindStartPage("https://example.org/\"q\""), catalog.FindAutoFill(false)}) {
        for (const TraceItem& item : found.items) {
            if (const auto outcome = catalog.Apply(item); !outcome.ok()) {
                errors.push_back(outcome.error);
            }
        }
    }
    EXPECT_EQ(ReadFile(Home(".mozilla/firefox/p/user.js")),
              "// mine\nuser_pref(\"privacy.resistFingerprinting\", true);\n"
              "user_pref(\"browser.startup.homepage\", \"https://example.org/\\\"q\\\"\");\n"
              "user_pref(\"browser.startup.page\", 1);\n"
              "user_pref(\"browser.urlbar.autoFill\", false);\n");
    const auto preferences =
        nlohmann::json::parse(ReadFile(Config("chromium/Default/Preferences")));
    EXPECT_EQ(preferences["download"]["default_directory"], "/home/u/Downloads");
    EXPECT_EQ(preferences["zzz"], nlohmann::json::parse("[1,2.5]"));
    EXPECT_EQ(preferences["session"]["other"], 7);
    EXPECT_EQ(preferences["session"]["restore_on_startup"], 4);
    EXPECT_EQ(preferences["session"]["startup_urls"][0], "https://example.org/\"q\"");
    EXPECT_EQ(preferences["homepage"], "https://example.org/\"q\"");
    EXPECT_EQ(preferences["homepage_is_newtabpage"], false);
    EXPECT_EQ(ReadFile(Config("chromium/Profile 1/Preferences")), "{not json");
    EXPECT_THAT(errors, ElementsAre(HasSubstr("not valid JSON")));
    EXPECT_FALSE(Exists(Config("chromium/Profile 2/Preferences")));
}

// A stored address in another encoding (written with orvelle-reg, say) cannot go
// into JSON: the file stays as it was and the run goes on.
TEST_F(TraceCatalogTest, StartPageNotInUtf8LeavesChromiumPreferencesAsTheyWere) {
    ChromiumIndex(Config("chromium"), {"Default"});
    Put(Config("chromium/Default/Preferences"), R"({"homepage":"http://old/"})");
    const auto found = catalog.FindStartPage("http://caf\xE9/");
    ASSERT_EQ(found.items.size(), 1U);
    EXPECT_THAT(catalog.Apply(found.items[0]).error, HasSubstr("is not UTF-8 text"));
    EXPECT_EQ(ReadFile(Config("chromium/Default/Preferences")), R"({"homepage":"http://old/"})");
}

}  // namespace

namespace {

TEST_F(TraceCatalogTest, AThumbnailTheSystemWillNotDeleteIsNamedNotPassedOver) {
    Put(Cache("thumbnails/normal/stuck.png"));
    Put(Cache("thumbnails/normal/other.png"));
    Put(Cache("thumbnails/large/gone.png"));
    orvelle::test::Immutable immutable;
    if (!immutable.Set(Cache("thumbnails/normal/stuck.png")) ||
        !immutable.Set(Cache("thumbnails/normal/other.png"))) {
        GTEST_SKIP() << "this file system or user cannot mark a file immutable";
    }
    const auto failures = Clean({3});
    ASSERT_EQ(failures.size(), 1U);
    EXPECT_THAT(failures[0],
                testing::AnyOf(
                    "Not erased: " + Cache("thumbnails/normal/stuck.png") +
                        " (Operation not permitted) and 1 more in " + Cache("thumbnails/normal"),
                    "Not erased: " + Cache("thumbnails/normal/other.png") +
                        " (Operation not permitted) and 1 more in " + Cache("thumbnails/normal")));
    EXPECT_FALSE(Exists(Cache("thumbnails/large/gone.png")));
}

}  // namespace
