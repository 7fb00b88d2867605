// The rule table and the locations it adds: each location is one row here, found and
// erased (or kept) on a private home; the database edits on real SQLite files.

#include "LinuxTraceCatalog.h"
#include "SettingFiles.h"
#include "SqliteTraces.h"
#include "TraceRules.h"
#include "TraceTestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

using namespace orvelle;
using namespace orvelle::test;
using namespace orvelle::traces;
using testing::ElementsAre;
using traces::TraceContent;
using traces::TraceItem;

namespace fs = std::filesystem;

namespace {

std::string Bytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

// Where the user's own choices and what the browser cannot rebuild are kept.
const std::set<std::string> kNeverWholesale = {"permissions.sqlite",
                                               "content-prefs.sqlite",
                                               "favicons.sqlite",
                                               "logins.json",
                                               "key4.db",
                                               "Login Data",
                                               "Preferences",
                                               "Bookmarks",
                                               "places.sqlite",
                                               "Local State",
                                               "Favicons",
                                               "Web Data",
                                               "History"};

TEST(TraceRulesTest, EveryPathStaysInsideItsBaseAndNothingPreciousGoesWhole) {
    std::set<std::tuple<int, RuleScope, RuleBase, std::string, TraceContent>> seen;
    for (const TraceRule& rule : AllTraceRules()) {
        const std::string path = rule.path;
        ASSERT_FALSE(path.empty());
        if (rule.base != RuleBase::Settings) {
            EXPECT_NE(path.front(), '/') << path;
            EXPECT_EQ(path.find(".."), std::string::npos) << path;
        }
        const bool deletes = rule.action == RuleAction::DeleteFile ||
                             rule.action == RuleAction::DeleteFolder ||
                             rule.action == RuleAction::EmptyFolder;
        const std::string last = path.substr(path.rfind('/') + 1);
        // Favorites is the one option that takes the bookmarks, when asked to.
        if (deletes && rule.option != 8) {
            EXPECT_EQ(kNeverWholesale.count(last), 0U) << path << " deleted whole";
        }
        EXPECT_TRUE(seen.insert({rule.option, rule.scope, rule.base, path, rule.content}).second)
            << "twice: " << path;
        EXPECT_EQ(rule.create, rule.content == TraceContent::FirefoxStartPage ||
                                   rule.content == TraceContent::FirefoxAutoFill)
            << path;
    }
}

class LocationTest : public ::testing::Test {
public:
    LocationTest() {
        Put(env.Path("home/.mozilla/firefox/profiles.ini"),
            "[Profile0]\nName=p\nIsRelative=1\nPath=p\n");
        Put(env.Path("config/chromium/Local State"),
            nlohmann::json{{"profile", {{"info_cache", {{"Default", {{"name", "Me"}}}}}}}}.dump());
        fs::create_directories(env.Path("config/chromium/Default"));
        fs::create_directories(env.Path("home/.mozilla/firefox/p"));
    }
    std::vector<std::string> Clean(int option) {
        std::vector<std::string> failures;
        const auto found = catalog.Find(option);
        for (const auto& skipped : found.skipped) {
            failures.push_back(skipped.reason);
        }
        for (const TraceItem& item : found.items) {
            if (const auto outcome = catalog.Apply(item); !outcome.ok()) {
                failures.push_back(outcome.error);
            }
        }
        return failures;
    }

    TempEnvironment env;
    LinuxTraceCatalog catalog;
};

struct LocationCase {
    const char* name;
    int option;
    const char* path;  // below the private root
    bool goes;
};

class LocationRowTest : public LocationTest, public ::testing::WithParamInterface<LocationCase> {};

TEST_P(LocationRowTest, TheOptionTakesItOrLeavesIt) {
    const std::string path = env.Path(GetParam().path);
    Put(path, "the visited site");
    EXPECT_THAT(Clean(GetParam().option), ElementsAre());
    EXPECT_EQ(!Exists(path), GetParam().goes) << GetParam().path;
    // The folders the browsers expect stay, empty or not.
    EXPECT_TRUE(fs::is_directory(env.Path("home/.mozilla/firefox/p")));
    EXPECT_TRUE(fs::is_directory(env.Path("config/chromium/Default")));
}

#define FF "home/.mozilla/firefox/p/"
#define CR "config/chromium/Default/"
INSTANTIATE_TEST_SUITE_P(
    Rows, LocationRowTest,
    ::testing::Values(
        LocationCase{"FirefoxSiteStorage", 7,
                     FF "storage/default/https+++site.example/ls/data.sqlite", true},
        LocationCase{"FirefoxSiteStoragePort", 7,
                     FF "storage/default/http+++127.0.0.1+8080/idb/1.sqlite", true},
        LocationCase{"FirefoxExtensionStorage", 7,
                     FF "storage/default/moz-extension+++ab12/idb/1.sqlite", false},
        LocationCase{"FirefoxStorageIndex", 7, FF "storage.sqlite", true},
        LocationCase{"FirefoxServiceWorkers", 7, FF "serviceworker.txt", true},
        LocationCase{"FirefoxWebappsStore", 7, FF "webappsstore.sqlite", true},
        LocationCase{"FirefoxSessionCookies", 7, FF "sessionstore.jsonlz4", true},
        LocationCase{"FirefoxSession", 9, FF "sessionstore.jsonlz4", true},
        LocationCase{"FirefoxRecovery", 9, FF "sessionstore-backups/recovery.jsonlz4", true},
        LocationCase{"FirefoxRecoveryBackup", 9, FF "sessionstore-backups/recovery.baklz4", true},
        LocationCase{"FirefoxUpgradeSession", 9, FF "sessionstore-backups/upgrade.jsonlz4-20260101",
                     true},
        LocationCase{"FirefoxHsts", 9, FF "SiteSecurityServiceState.bin", true},
        LocationCase{"FirefoxAltSvc", 9, FF "AlternateServices.bin", true},
        LocationCase{"FirefoxLogins", 9, FF "logins.json", false},
        LocationCase{"FirefoxKeys", 9, FF "key4.db", false},
        LocationCase{"FirefoxContentPrefs", 9, FF "content-prefs.sqlite", false},
        LocationCase{"FirefoxBookmarkBackups", 9, FF "bookmarkbackups/bookmarks-2026.jsonlz4",
                     false},
        LocationCase{"FirefoxCache", 6, "cache/mozilla/firefox/p/cache2/entries/0A1B", true},
        LocationCase{"ChromiumLocalStorage", 7, CR "Local Storage/leveldb/000003.log", true},
        LocationCase{"ChromiumSessionStorage", 7, CR "Session Storage/000003.log", true},
        LocationCase{"ChromiumIndexedDb", 7,
                     CR "IndexedDB/http_127.0.0.1_8080.indexeddb.leveldb/000003.log", true},
        LocationCase{"ChromiumExtensionIndexedDb", 7,
                     CR "IndexedDB/chrome-extension_abc_0.indexeddb.leveldb/000003.log", false},
        LocationCase{"ChromiumExtensionSettings", 7, CR "Local Extension Settings/abc/000003.log",
                     false},
        LocationCase{"ChromiumServiceWorker", 7, CR "Service Worker/Database/000003.log", true},
        LocationCase{"ChromiumWebStorage", 7, CR "WebStorage/1/CacheStorage/index", true},
        LocationCase{"ChromiumFileSystem", 7, CR "File System/000/t/00/00000000", true},
        LocationCase{"ChromiumSharedProto", 7, CR "shared_proto_db/000003.log", true},
        LocationCase{"ChromiumSessions", 9, CR "Sessions/Session_13370000000000000", true},
        LocationCase{"ChromiumEncryptedSessions", 9, CR "Sessions_Encrypted/Tabs_13370000000000000",
                     true},
        LocationCase{"ChromiumOldSession", 9, CR "Current Session", true},
        LocationCase{"ChromiumDips", 9, CR "DIPS", true},
        LocationCase{"ChromiumLoginData", 9, CR "Login Data", false},
        LocationCase{"ChromiumUkm", 9, "config/chromium/segmentation_platform/ukm_db", true},
        LocationCase{"ChromiumCrashDump", 9, "config/chromium/Crash Reports/pending/1.dmp", true},
        LocationCase{"ChromiumCrashSettings", 9, "config/chromium/Crash Reports/settings.dat",
                     false}),
    [](const auto& rowInfo) { return std::string(rowInfo.param.name); });
#undef FF
#undef CR

TEST_F(LocationTest, SharedFoldersOfTheUserDataFolderAreListedOnce) {
    Put(env.Path("config/chromium/Local State"),
        nlohmann::json{{"profile", {{"info_cache", {{"Default", {}}, {"Profile 1", {}}}}}}}.dump());
    fs::create_directories(env.Path("config/chromium/Profile 1"));
    Put(env.Path("config/chromium/segmentation_platform/ukm_db"));
    int listed = 0;
    for (const TraceItem& item : catalog.Find(9).items) {
        listed += item.path == env.Path("config/chromium/segmentation_platform/ukm_db") ? 1 : 0;
    }
    EXPECT_EQ(listed, 1);
}

// The database edits, each on a small database with the real tables' names.
class DatabaseEditTest : public LocationTest {
public:
    std::string firefox = env.Path("home/.mozilla/firefox/p/");
    std::string chromium = env.Path("config/chromium/Default/");
};

TEST_F(DatabaseEditTest, FormHistoryGoesWhole) {
    const std::string db = firefox + "formhistory.sqlite";
    fs::create_directories(firefox);
    ExecSql(db,
            "CREATE TABLE moz_formhistory(id INTEGER PRIMARY KEY, fieldname TEXT, value TEXT);"
            "CREATE TABLE moz_deleted_formhistory(id INTEGER PRIMARY KEY, guid TEXT);"
            "INSERT INTO moz_formhistory VALUES (1, 'q', 'typedword'), (2, 'email', 'a@b');"
            "INSERT INTO moz_deleted_formhistory VALUES (1, 'g');");
    EXPECT_THAT(Clean(9), ElementsAre());
    EXPECT_EQ(IntegrityCheck(db), "ok");
    EXPECT_EQ(QueryNumber(db, "SELECT count(*) FROM moz_formhistory"), 0);
    EXPECT_EQ(QueryNumber(db, "SELECT count(*) FROM moz_deleted_formhistory"), 0);
}

TEST_F(DatabaseEditTest, OnlyThePermissionsFirefoxGrantedByItselfGo) {
    const std::string db = firefox + "permissions.sqlite";
    fs::create_directories(firefox);
    ExecSql(db,
            "CREATE TABLE moz_perms(id INTEGER PRIMARY KEY, origin TEXT, type TEXT,"
            " permission INTEGER);"
            "INSERT INTO moz_perms VALUES"
            " (1, 'https://visited.example', 'storageAccessAPI', 1),"
            " (2, 'https://visited.example', '3rdPartyStorage^https://tracker.example', 1),"
            " (3, 'https://visited.example', '3rdPartyFrameStorage^https://t.example', 1),"
            " (4, 'https://meet.example', 'camera', 1),"
            " (5, 'https://news.example', 'desktop-notification', 2);");
    EXPECT_THAT(Clean(9), ElementsAre());
    EXPECT_EQ(QueryNumber(db, "SELECT count(*) FROM moz_perms"), 2);
    EXPECT_EQ(QueryNumber(db, "SELECT count(*) FROM moz_perms WHERE id IN (4, 5)"), 2)
        << "the camera and the notifications the user set stay";
    EXPECT_TRUE(Exists(db));
}

TEST_F(DatabaseEditTest, BounceTrackingRecordsGoAndTheSchemaStays) {
    const std::string db = firefox + "bounce-tracking-protection.sqlite";
    fs::create_directories(firefox);
    ExecSql(db,
            "CREATE TABLE sites(siteHost TEXT PRIMARY KEY, entryType INTEGER);"
            "INSERT INTO sites VALUES ('visited.example', 0), ('bouncer.example', 1);"
            "PRAGMA user_version = 3;");
    EXPECT_THAT(Clean(9), ElementsAre());
    EXPECT_EQ(QueryNumber(db, "SELECT count(*) FROM sites"), 0);
    EXPECT_EQ(QueryNumber(db, "PRAGMA user_version"), 3);
}

TEST_F(DatabaseEditTest, ChromiumIconsOfBookmarkedPagesAndSavedAddressesStay) {
    Put(chromium + "Bookmarks",
        nlohmann::json{{"roots",
                        {{"bookmark_bar",
                          {{"children", {{{"type", "url"}, {"url", "https://kept.example/"}}}}}}}}}
            .dump());
    const std::string icons = chromium + "Favicons";
    ExecSql(icons,
            "CREATE TABLE favicons(id INTEGER PRIMARY KEY, url TEXT);"
            "CREATE TABLE favicon_bitmaps(id INTEGER PRIMARY KEY, icon_id INTEGER);"
            "CREATE TABLE icon_mapping(id INTEGER PRIMARY KEY, page_url TEXT, icon_id INTEGER);"
            "INSERT INTO favicons VALUES (1, 'https://kept.example/i.ico'),"
            " (2, 'https://visited.example/i.ico');"
            "INSERT INTO favicon_bitmaps VALUES (1, 1), (2, 2);"
            "INSERT INTO icon_mapping VALUES (1, 'https://kept.example/', 1),"
            " (2, 'https://visited.example/page', 2);");
    const std::string webData = chromium + "Web Data";
    ExecSql(webData,
            "CREATE TABLE autofill(name TEXT, value TEXT, count INTEGER);"
            "CREATE TABLE keywords(id INTEGER PRIMARY KEY, short_name TEXT);"
            "INSERT INTO autofill VALUES ('q', 'typedword', 1);"
            "INSERT INTO keywords VALUES (1, 'Search');");
    EXPECT_THAT(Clean(9), ElementsAre());
    EXPECT_EQ(QueryNumber(icons, "SELECT group_concat(id) FROM icon_mapping"), 1);
    EXPECT_EQ(QueryNumber(icons, "SELECT group_concat(id) FROM favicons"), 1);
    EXPECT_EQ(QueryNumber(icons, "SELECT group_concat(icon_id) FROM favicon_bitmaps"), 1);
    EXPECT_EQ(QueryNumber(webData, "SELECT count(*) FROM autofill"), 0);
    EXPECT_EQ(QueryNumber(webData, "SELECT count(*) FROM keywords"), 1);
}

TEST_F(DatabaseEditTest, EngagementGoesFromPreferencesThePermissionsTheUserSetStay) {
    const nlohmann::json preferences = {
        {"download", {{"default_directory", "/home/u/Downloads"}}},
        {"profile",
         {{"content_settings",
           {{"exceptions",
             {{"site_engagement", {{"http://visited.example:80,*", {{"setting", {{"x", 1}}}}}}},
              {"media_engagement", {{"http://visited.example:80,*", {{"setting", 1}}}}},
              {"media_stream_camera", {{"https://meet.example:443,*", {{"setting", 1}}}}},
              {"partition", 2}}}}}}}};
    Put(chromium + "Preferences", preferences.dump());
    EXPECT_THAT(Clean(9), ElementsAre());
    const auto after = nlohmann::json::parse(Bytes(chromium + "Preferences"));
    const auto& exceptions = after["profile"]["content_settings"]["exceptions"];
    EXPECT_TRUE(exceptions["site_engagement"].empty());
    EXPECT_TRUE(exceptions["media_engagement"].empty());
    EXPECT_EQ(exceptions["media_stream_camera"],
              preferences["profile"]["content_settings"]["exceptions"]["media_stream_camera"]);
    EXPECT_EQ(after["download"], preferences["download"]);
    EXPECT_EQ(exceptions["partition"], 2);
}

TEST_F(DatabaseEditTest, CascadingKeysTakeTheRowsOfDeletedPagesOtherKeysKeepEverything) {
    const std::string places = firefox + "places.sqlite";
    const std::string schema =
        "CREATE TABLE moz_places(id INTEGER PRIMARY KEY, url TEXT, foreign_count INTEGER"
        " DEFAULT 0);"
        "CREATE TABLE moz_bookmarks(id INTEGER PRIMARY KEY, fk INTEGER, guid TEXT);"
        "CREATE TABLE moz_historyvisits(id INTEGER PRIMARY KEY, place_id INTEGER);"
        "CREATE TABLE moz_historyvisits_extra(visit_id INTEGER PRIMARY KEY NOT NULL,"
        " FOREIGN KEY (visit_id) REFERENCES moz_historyvisits(id) ON DELETE CASCADE);"
        "CREATE TABLE moz_places_extra(place_id INTEGER PRIMARY KEY NOT NULL, sync_json TEXT,"
        " FOREIGN KEY (place_id) REFERENCES moz_places(id) ON DELETE CASCADE);"
        "CREATE TABLE moz_places_metadata(id INTEGER PRIMARY KEY, place_id INTEGER,"
        " FOREIGN KEY (place_id) REFERENCES moz_places(id) ON DELETE CASCADE);"
        "INSERT INTO moz_places VALUES (1, 'https://kept.example/', 1),"
        " (2, 'https://visited.example/', 0);"
        "INSERT INTO moz_bookmarks VALUES (1, 1, 'b');"
        "INSERT INTO moz_historyvisits VALUES (1, 1), (2, 2);"
        "INSERT INTO moz_historyvisits_extra VALUES (1), (2);"
        "INSERT INTO moz_places_extra VALUES (1, 'kept'), (2, 'visited');"
        "INSERT INTO moz_places_metadata VALUES (1, 2);";
    fs::create_directories(firefox);
    ExecSql(places, schema);
    EXPECT_EQ(EraseRows(places, TraceContent::FirefoxHistory, {}), "");
    EXPECT_EQ(QueryNumber(places, "SELECT count(*) FROM moz_historyvisits_extra"), 0);
    EXPECT_EQ(QueryNumber(places, "SELECT group_concat(place_id) FROM moz_places_extra"), 1);
    EXPECT_EQ(QueryNumber(places, "SELECT count(*) FROM moz_places_metadata"), 0);
    EXPECT_EQ(QueryNumber(places, "SELECT count(*) FROM moz_places"), 1);

    // A key that does not cascade and would be left dangling undoes the whole edit.
    const std::string other = firefox + "other/places.sqlite";
    fs::create_directories(firefox + "other");
    ExecSql(other, schema +
                       "CREATE TABLE moz_notes(id INTEGER PRIMARY KEY, place_id INTEGER"
                       " REFERENCES moz_places(id));"
                       "INSERT INTO moz_notes VALUES (1, 2);");
    EXPECT_THAT(EraseRows(other, TraceContent::FirefoxHistory, {}),
                testing::HasSubstr("moz_notes would point at deleted rows"));
    EXPECT_EQ(QueryNumber(other, "SELECT count(*) FROM moz_historyvisits"), 2);
    EXPECT_EQ(QueryNumber(other, "SELECT count(*) FROM moz_places"), 2);
}

// A database that SQLite opens with secure_delete off by default: the edit turns it
// on, so no deleted row can be read back from the file's bytes.
TEST_F(DatabaseEditTest, ADeletedWordIsNotInTheRawBytes) {
    const std::string db = firefox + "formhistory.sqlite";
    fs::create_directories(firefox);
    std::string sql =
        "PRAGMA secure_delete = OFF; PRAGMA journal_mode = WAL;"
        "CREATE TABLE moz_formhistory(id INTEGER PRIMARY KEY, fieldname TEXT, value TEXT);";
    for (int i = 0; i < 300; ++i) {
        sql += "INSERT INTO moz_formhistory(fieldname, value) VALUES ('q', 'quokkaword" +
               std::to_string(i) + "');";
    }
    ExecSql(db, sql);
    ASSERT_NE((Bytes(db) + Bytes(db + "-wal")).find("quokkaword"), std::string::npos);
    EXPECT_EQ(EraseRows(db, TraceContent::FirefoxFormHistory, {}), "");
    EXPECT_EQ(IntegrityCheck(db), "ok");
    EXPECT_EQ((Bytes(db) + Bytes(db + "-wal")).find("quokkaword"), std::string::npos);
    EXPECT_EQ(fs::exists(db + "-wal") ? fs::file_size(db + "-wal") : 0U, 0U)
        << "checkpointed: the log holds nothing any more";
}

TEST_F(DatabaseEditTest, MeasuringCountsTheRowsAndBytesAnEditFreesAndChangesNothing) {
    const std::string db = firefox + "formhistory.sqlite";
    fs::create_directories(firefox);
    std::string sql = "CREATE TABLE moz_formhistory(id INTEGER PRIMARY KEY, value TEXT);";
    for (int i = 0; i < 500; ++i) {
        sql += "INSERT INTO moz_formhistory(value) VALUES ('" + std::string(200, 'v') + "');";
    }
    ExecSql(db, sql);
    const auto before = Snapshot(firefox);
    const auto estimate = MeasureRows(db, TraceContent::FirefoxFormHistory, {});
    EXPECT_EQ(estimate.rows, 500U);
    const auto size = fs::file_size(db);
    EXPECT_GT(estimate.bytes, size / 2);
    EXPECT_LT(estimate.bytes, size);
    EXPECT_EQ(Snapshot(firefox), before);

    // The catalog's preview item says the same, not the file's size.
    TraceItem item;
    for (const TraceItem& found : catalog.Find(9).items) {
        if (found.path == db) {
            item = found;
        }
    }
    ASSERT_EQ(item.path, db);
    catalog.Measure(item);
    EXPECT_EQ(item.rows, 500U);
    EXPECT_EQ(item.bytes, estimate.bytes);
    EXPECT_EQ(EraseRows(db, TraceContent::FirefoxFormHistory, {}), "");
    EXPECT_EQ(fs::file_size(db), size - estimate.bytes) << "the estimate is what the clean frees";
}

}  // namespace
