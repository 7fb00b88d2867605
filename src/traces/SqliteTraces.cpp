#include "SqliteTraces.h"
#include "kit/Sqlite.h"
#include "kit/WholeFile.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>

namespace orvelle::traces {
namespace {

using traces::TraceContent;

using Database = kit::SqliteDatabase;
using Statement = kit::SqliteStatement;

class SqliteError : public std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A database that is a symbolic link is never opened: said as such, not as SQLite's
// "unable to open database file".
class LinkRefused : public SqliteError {
    using SqliteError::SqliteError;
};

Database Open(const std::string& path, bool writable) {
    sqlite3* raw = nullptr;
    const int flags = (writable ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY) |
                      SQLITE_OPEN_NOFOLLOW | SQLITE_OPEN_PRIVATECACHE;
    const int status = sqlite3_open_v2(path.c_str(), &raw, flags, nullptr);
    Database db(raw);
    if (status != SQLITE_OK) {
        struct stat info {};
        if (::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
            throw LinkRefused("is a symbolic link");
        }
        throw SqliteError(raw != nullptr ? sqlite3_errmsg(raw) : sqlite3_errstr(status));
    }
    sqlite3_busy_timeout(db.get(), 5000);
    return db;
}

void Exec(sqlite3* db, const std::string& sql) {
    char* message = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
        const std::string text = message != nullptr ? message : sqlite3_errmsg(db);
        sqlite3_free(message);
        throw SqliteError(text);
    }
}

Statement Prepare(sqlite3* db, const std::string& sql) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &raw, nullptr) != SQLITE_OK) {
        throw SqliteError(sqlite3_errmsg(db));
    }
    return Statement(raw);
}

bool HasTable(sqlite3* db, const std::string& table) {
    const auto statement =
        Prepare(db, "SELECT 1 FROM sqlite_master WHERE type='table' AND name=?1");
    sqlite3_bind_text(statement.get(), 1, table.c_str(), -1, SQLITE_TRANSIENT);
    return sqlite3_step(statement.get()) == SQLITE_ROW;
}

bool HasColumn(sqlite3* db, const std::string& table, const std::string& column) {
    const auto statement = Prepare(db, "SELECT 1 FROM pragma_table_info(?1) WHERE name=?2");
    sqlite3_bind_text(statement.get(), 1, table.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(statement.get(), 2, column.c_str(), -1, SQLITE_TRANSIENT);
    return sqlite3_step(statement.get()) == SQLITE_ROW;
}

// Runs `sql` only when every table (and "table.column") it needs exists.
void ExecIf(sqlite3* db, std::initializer_list<const char*> needs, const std::string& sql) {
    for (const std::string need : needs) {
        const auto dot = need.find('.');
        if (dot == std::string::npos
                ? !HasTable(db, need)
                : !HasTable(db, need.substr(0, dot)) ||
                      !HasColumn(db, need.substr(0, dot), need.substr(dot + 1))) {
            return;
        }
    }
    Exec(db, sql);
}

void ClearTables(sqlite3* db, std::initializer_list<const char*> tables) {
    for (const std::string table : tables) {
        if (HasTable(db, table)) {
            Exec(db, "DELETE FROM \"" + table + "\"");
        }
    }
}

void FillKeep(sqlite3* db, const std::vector<std::string>& urls) {
    Exec(db, "CREATE TEMP TABLE orvelle_keep(url TEXT PRIMARY KEY) WITHOUT ROWID");
    const auto insert = Prepare(db, "INSERT OR IGNORE INTO temp.orvelle_keep(url) VALUES (?1)");
    for (const std::string& url : urls) {
        sqlite3_bind_text(insert.get(), 1, url.c_str(), -1, SQLITE_TRANSIENT);
        if (sqlite3_step(insert.get()) != SQLITE_DONE) {
            throw SqliteError(sqlite3_errmsg(db));
        }
        sqlite3_reset(insert.get());
    }
}

// Pages Firefox must keep: bookmarked, or named by a keyword.
constexpr const char* kFirefoxUnreferenced =
    "id NOT IN (SELECT fk FROM moz_bookmarks WHERE fk IS NOT NULL)";

void FirefoxTyped(sqlite3* db) {
    ExecIf(db, {"moz_places.typed"}, "UPDATE moz_places SET typed = 0 WHERE typed <> 0");
    ClearTables(db, {"moz_inputhistory"});
}

void FirefoxHistory(sqlite3* db) {
    if (!HasTable(db, "moz_places") || !HasTable(db, "moz_bookmarks")) {
        return;
    }
    ClearTables(db, {"moz_historyvisits", "moz_historyvisits_extra", "moz_inputhistory",
                     "moz_places_metadata", "moz_places_metadata_search_queries",
                     "moz_previews_tombstones"});
    std::string keep = kFirefoxUnreferenced;
    if (HasTable(db, "moz_keywords")) {
        keep += " AND id NOT IN (SELECT place_id FROM moz_keywords WHERE place_id IS NOT NULL)";
    }
    if (HasColumn(db, "moz_places", "foreign_count")) {
        keep += " AND foreign_count = 0";
    }
    ExecIf(
        db, {"moz_annos"},
        "DELETE FROM moz_annos WHERE place_id IN (SELECT id FROM moz_places WHERE " + keep + ")");
    Exec(db, "DELETE FROM moz_places WHERE " + keep);
    // The pages that stay (bookmarked ones) lose their visit statistics.
    ExecIf(db, {"moz_places.visit_count"}, "UPDATE moz_places SET visit_count = 0");
    ExecIf(db, {"moz_places.last_visit_date"}, "UPDATE moz_places SET last_visit_date = NULL");
    ExecIf(db, {"moz_places.typed"}, "UPDATE moz_places SET typed = 0");
    ExecIf(db, {"moz_places.recalc_frecency"}, "UPDATE moz_places SET recalc_frecency = 1");
    ExecIf(db, {"moz_origins", "moz_places.origin_id"},
           "DELETE FROM moz_origins WHERE id NOT IN "
           "(SELECT origin_id FROM moz_places WHERE origin_id IS NOT NULL)");
}

void FirefoxFavicons(sqlite3* db, const std::vector<std::string>& keepUrls) {
    if (!HasTable(db, "moz_pages_w_icons")) {
        return;
    }
    FillKeep(db, keepUrls);
    Exec(db,
         "DELETE FROM moz_pages_w_icons WHERE page_url NOT IN (SELECT url FROM temp.orvelle_keep)");
    ExecIf(
        db, {"moz_icons_to_pages"},
        "DELETE FROM moz_icons_to_pages WHERE page_id NOT IN (SELECT id FROM moz_pages_w_icons)");
    ExecIf(db, {"moz_icons", "moz_icons_to_pages"},
           "DELETE FROM moz_icons WHERE id NOT IN (SELECT icon_id FROM moz_icons_to_pages)");
}

void FirefoxBookmarks(sqlite3* db) {
    if (!HasTable(db, "moz_bookmarks")) {
        return;
    }
    // The fixed roots stay, so that Firefox finds its folders again.
    Exec(db,
         "DELETE FROM moz_bookmarks WHERE guid NOT IN ('root________', 'menu________', "
         "'toolbar_____', 'tags________', 'unfiled_____', 'mobile______')");
    ClearTables(db, {"moz_keywords"});
    ExecIf(db, {"moz_items_annos"},
           "DELETE FROM moz_items_annos WHERE item_id NOT IN (SELECT id FROM moz_bookmarks)");
    ExecIf(db, {"moz_places.foreign_count"}, "UPDATE moz_places SET foreign_count = 0");
}

void ChromiumTyped(sqlite3* db) {
    ExecIf(db, {"urls.typed_count"}, "UPDATE urls SET typed_count = 0 WHERE typed_count <> 0");
    ClearTables(db, {"keyword_search_terms"});
}

void ChromiumHistory(sqlite3* db, const std::vector<std::string>& keepUrls) {
    ClearTables(
        db, {"visits", "visit_source", "visited_links", "keyword_search_terms", "segments",
             "segment_usage", "clusters", "clusters_and_visits", "cluster_keywords",
             "cluster_visit_duplicates", "content_annotations", "context_annotations", "journeys",
             "journey_history_entries", "journey_continuation_queries", "history_sync_metadata"});
    if (!HasTable(db, "urls")) {
        return;
    }
    FillKeep(db, keepUrls);
    Exec(db, "DELETE FROM urls WHERE url NOT IN (SELECT url FROM temp.orvelle_keep)");
    ExecIf(db, {"urls.visit_count"}, "UPDATE urls SET visit_count = 0");
    ExecIf(db, {"urls.typed_count"}, "UPDATE urls SET typed_count = 0");
    ExecIf(db, {"urls.last_visit_time"}, "UPDATE urls SET last_visit_time = 0");
}

void FirefoxFormHistory(sqlite3* db) {
    ClearTables(db, {"moz_history_to_sources", "moz_sources", "moz_formhistory",
                     "moz_deleted_formhistory"});
}

// Only what Firefox grants by itself while browsing (storage access between sites);
// a permission the user set (camera, notifications, pop-ups) stays.
void FirefoxSitePermissions(sqlite3* db) {
    for (const char* table : {"moz_perms", "moz_hosts"}) {
        ExecIf(db, {table},
               std::string("DELETE FROM ") + table +
                   " WHERE type IN ('storageAccessAPI', 'storage-access') OR type LIKE "
                   "'3rdPartyStorage^%' OR type LIKE '3rdPartyFrameStorage^%'");
    }
}

// Every row of every table: the database holds nothing but visited sites.
void ClearEveryTable(sqlite3* db) {
    std::vector<std::string> tables;
    const auto statement = Prepare(
        db, "SELECT name FROM sqlite_master WHERE type='table' AND name NOT LIKE 'sqlite_%'");
    while (sqlite3_step(statement.get()) == SQLITE_ROW) {
        tables.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(statement.get(), 0)));
    }
    for (const std::string& table : tables) {
        std::string quoted;
        for (const char c : table) {
            quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
        }
        Exec(db, "DELETE FROM \"" + quoted + "\"");
    }
}

void ChromiumFavicons(sqlite3* db, const std::vector<std::string>& keepUrls) {
    if (!HasTable(db, "icon_mapping")) {
        return;
    }
    FillKeep(db, keepUrls);
    Exec(db, "DELETE FROM icon_mapping WHERE page_url NOT IN (SELECT url FROM temp.orvelle_keep)");
    ExecIf(db, {"favicon_bitmaps"},
           "DELETE FROM favicon_bitmaps WHERE icon_id NOT IN (SELECT icon_id FROM icon_mapping)");
    ExecIf(db, {"favicons"},
           "DELETE FROM favicons WHERE id NOT IN (SELECT icon_id FROM icon_mapping)");
}

// Typed form values only: saved addresses, cards and search engines stay.
void ChromiumAutofill(sqlite3* db) {
    ClearTables(db, {"autofill", "autofill_dates"});
}

void CollectUrls(const nlohmann::json& node, std::vector<std::string>& urls) {
    if (node.is_object()) {
        const auto url = node.find("url");
        if (url != node.end() && url->is_string()) {
            urls.push_back(url->get<std::string>());
        }
        for (const auto& [key, value] : node.items()) {
            if (value.is_structured()) {
                CollectUrls(value, urls);
            }
        }
    } else if (node.is_array()) {
        for (const auto& value : node) {
            CollectUrls(value, urls);
        }
    }
}

// A copy of a database and its -wal in a private temporary folder, removed with it:
// a preview works on it, so that not even the -shm of the original is written.
class PrivateCopy {
public:
    explicit PrivateCopy(const std::string& path) {
        std::string folder = (std::filesystem::temp_directory_path() / "orvelle-XXXXXX").string();
        if (::mkdtemp(folder.data()) == nullptr) {
            throw SqliteError("no temporary folder for a copy");
        }
        folder_ = folder;
        copy_ = folder_ + "/copy.sqlite";
        std::error_code error;
        std::filesystem::copy_file(path, copy_, error);
        if (!error && std::filesystem::is_regular_file(path + "-wal")) {
            std::filesystem::copy_file(path + "-wal", copy_ + "-wal", error);
        }
        if (error) {
            Remove();
            throw SqliteError("cannot be copied: " + error.message());
        }
    }
    ~PrivateCopy() { Remove(); }
    PrivateCopy(const PrivateCopy&) = delete;
    PrivateCopy& operator=(const PrivateCopy&) = delete;

    [[nodiscard]] const std::string& Path() const { return copy_; }

private:
    void Remove() noexcept {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }

    std::string folder_;
    std::string copy_;
};

void Edit(sqlite3* db, TraceContent content, const std::vector<std::string>& keepUrls) {
    switch (content) {
    case TraceContent::FirefoxTyped:
        FirefoxTyped(db);
        break;
    case TraceContent::FirefoxHistory:
        FirefoxHistory(db);
        break;
    case TraceContent::FirefoxFavicons:
        FirefoxFavicons(db, keepUrls);
        break;
    case TraceContent::FirefoxBookmarks:
        FirefoxBookmarks(db);
        break;
    case TraceContent::FirefoxFormHistory:
        FirefoxFormHistory(db);
        break;
    case TraceContent::FirefoxSitePermissions:
        FirefoxSitePermissions(db);
        break;
    case TraceContent::FirefoxBounceTracking:
        ClearEveryTable(db);
        break;
    case TraceContent::ChromiumTyped:
        ChromiumTyped(db);
        break;
    case TraceContent::ChromiumHistory:
        ChromiumHistory(db, keepUrls);
        break;
    case TraceContent::ChromiumFavicons:
        ChromiumFavicons(db, keepUrls);
        break;
    case TraceContent::ChromiumAutofill:
        ChromiumAutofill(db);
        break;
    default:
        throw SqliteError("not a database trace");
    }
}

// The edit in one transaction; the changes it made (rows deleted or updated).
std::string Quoted(const std::string& name) {
    std::string quoted = "\"";
    for (const char c : name) {
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    }
    return quoted + "\"";
}

// One declared foreign key: rows of `child` whose `from` column names a `parent` row.
struct ForeignKey {
    std::string child;
    std::string parent;
    std::string from;
    std::string to;  // "" for the parent's rowid
    bool cascade;
};

std::vector<ForeignKey> ForeignKeys(sqlite3* db) {
    std::vector<ForeignKey> keys;
    const auto statement =
        Prepare(db,
                "SELECT m.name, f.\"table\", f.\"from\", ifnull(f.\"to\", ''), f.on_delete FROM "
                "sqlite_master m, pragma_foreign_key_list(m.name) f WHERE m.type = 'table'");
    while (sqlite3_step(statement.get()) == SQLITE_ROW) {
        const auto text = [&](int column) {
            const auto* value = sqlite3_column_text(statement.get(), column);
            return value != nullptr ? std::string(reinterpret_cast<const char*>(value)) : "";
        };
        keys.push_back({text(0), text(1), text(2), text(3), text(4) == "CASCADE"});
    }
    return keys;
}

std::string Orphans(const ForeignKey& key) {
    return " FROM " + Quoted(key.child) + " WHERE " + Quoted(key.from) + " IS NOT NULL AND " +
           Quoted(key.from) + " NOT IN (SELECT " + (key.to.empty() ? "rowid" : Quoted(key.to)) +
           " FROM " + Quoted(key.parent) + ")";
}

std::int64_t Count(sqlite3* db, const std::string& sql) {
    const auto statement = Prepare(db, sql);
    return sqlite3_step(statement.get()) == SQLITE_ROW ? sqlite3_column_int64(statement.get(), 0)
                                                       : 0;
}

// The edit in one transaction; the changes it made (rows deleted or updated).
// The browsers' ON DELETE CASCADE keys are applied after the edit, table by table,
// rather than row by row by SQLite: clearing 100 000 visits with foreign keys on
// costs twenty times as long. A key without CASCADE that the edit would leave
// pointing at a deleted row undoes the whole edit, as SQLite would.
std::uint64_t EditInTransaction(sqlite3* db, TraceContent content,
                                const std::vector<std::string>& keepUrls) {
    Exec(db, "PRAGMA foreign_keys = OFF");
    const auto before = sqlite3_total_changes64(db);
    Exec(db, "BEGIN IMMEDIATE");
    try {
        const std::vector<ForeignKey> keys = ForeignKeys(db);
        std::vector<std::int64_t> orphansBefore;
        orphansBefore.reserve(keys.size());
        for (const ForeignKey& key : keys) {
            orphansBefore.push_back(key.cascade ? 0 : Count(db, "SELECT count(*)" + Orphans(key)));
        }
        Edit(db, content, keepUrls);
        for (bool again = true; again;) {  // a cascade may start another one
            again = false;
            for (const ForeignKey& key : keys) {
                if (key.cascade) {
                    const auto changes = sqlite3_total_changes64(db);
                    Exec(db, "DELETE" + Orphans(key));
                    again = again || sqlite3_total_changes64(db) != changes;
                }
            }
        }
        for (std::size_t i = 0; i < keys.size(); ++i) {
            if (!keys[i].cascade &&
                Count(db, "SELECT count(*)" + Orphans(keys[i])) > orphansBefore[i]) {
                throw SqliteError("rows of " + keys[i].child + " would point at deleted rows");
            }
        }
        Exec(db, "COMMIT");
    } catch (...) {
        // The transaction goes as a whole; the database stays as it was.
        static_cast<void>(sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr));
        throw;
    }
    return static_cast<std::uint64_t>(sqlite3_total_changes64(db) - before);
}

std::int64_t PragmaNumber(sqlite3* db, const std::string& pragma) {
    const auto statement = Prepare(db, "PRAGMA " + pragma);
    if (sqlite3_step(statement.get()) != SQLITE_ROW) {
        throw SqliteError("PRAGMA " + pragma + " gave no answer");
    }
    return sqlite3_column_int64(statement.get(), 0);
}

std::string PragmaText(sqlite3* db, const std::string& pragma) {
    const auto statement = Prepare(db, "PRAGMA " + pragma);
    if (sqlite3_step(statement.get()) != SQLITE_ROW) {
        return {};
    }
    const auto* text = sqlite3_column_text(statement.get(), 0);
    return text != nullptr ? reinterpret_cast<const char*>(text) : "";
}

std::uint64_t FileSize(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
}

}  // namespace

std::uint64_t FreeSpace(const std::string& folder) {
    struct statvfs info {};
    if (::statvfs(folder.c_str(), &info) != 0) {
        return 0;
    }
    return static_cast<std::uint64_t>(info.f_bavail) * info.f_frsize;
}

std::string EraseRows(const std::string& path, TraceContent content,
                      const std::vector<std::string>& keepUrls) {
    std::string note;
    try {
        const Database db = Open(path, true);
        // Deleted rows must not stay readable in freed pages, whatever this build of
        // SQLite does by default.
        Exec(db.get(), "PRAGMA secure_delete = ON");
        if (PragmaNumber(db.get(), "secure_delete") != 1) {
            throw SqliteError("secure_delete could not be turned on; nothing was deleted");
        }
        // A large history is rewritten page by page: room for it in memory, and in WAL
        // mode syncs only at checkpoints (which never risks the database there, only the
        // last commit on a power cut; with a rollback journal it could, so not there).
        Exec(db.get(), "PRAGMA cache_size = -65536");
        if (PragmaText(db.get(), "journal_mode") == "wal") {
            Exec(db.get(), "PRAGMA synchronous = NORMAL");
        }
        const std::uint64_t changed = EditInTransaction(db.get(), content, keepUrls);
        if (changed > 0) {
            // VACUUM writes a new copy of the database (and, in WAL mode, its log).
            const std::uint64_t size = FileSize(path) + FileSize(path + "-wal");
            const std::uint64_t free = FreeSpace(FolderOf(path));
            if (free >= 2 * size) {
                Exec(db.get(), "VACUUM");
            } else {
                note = "Cleaned but not compacted: \"" + path + "\" needs " +
                       std::to_string(2 * size / 1024) + " KiB free to be rewritten, only " +
                       std::to_string(free / 1024) + " KiB are";
            }
        }
        Exec(db.get(), "PRAGMA wal_checkpoint(TRUNCATE)");
    } catch (const LinkRefused&) {
        return "\"" + path + "\" is a symbolic link: not cleaned";
    } catch (const SqliteError& error) {
        return "Not cleaned: \"" + path + "\": " + error.what();
    }
    return note;
}

RowsEstimate MeasureRows(const std::string& path, TraceContent content,
                         const std::vector<std::string>& keepUrls) {
    RowsEstimate estimate;
    try {
        const PrivateCopy copy(path);
        const Database db = Open(copy.Path(), true);
        estimate.rows = EditInTransaction(db.get(), content, keepUrls);
        if (estimate.rows == 0) {
            return estimate;
        }
        Exec(db.get(), "VACUUM");
        Exec(db.get(), "PRAGMA wal_checkpoint(TRUNCATE)");
        const std::uint64_t before = FileSize(path) + FileSize(path + "-wal");
        const std::uint64_t after = FileSize(copy.Path()) + FileSize(copy.Path() + "-wal");
        estimate.bytes = before > after ? before - after : 0;
    } catch (const SqliteError&) {
        // Unreadable now: the clean will say why; nothing is promised.
        return {};
    }
    return estimate;
}

std::vector<std::string> FirefoxBookmarkedUrls(const std::string& placesPath, bool untouched) {
    std::vector<std::string> urls;
    try {
        std::optional<PrivateCopy> copy;
        if (untouched) {
            copy.emplace(placesPath);
        }
        const Database db = Open(untouched ? copy->Path() : placesPath, false);
        if (!HasTable(db.get(), "moz_places") || !HasTable(db.get(), "moz_bookmarks")) {
            return urls;
        }
        const auto statement = Prepare(
            db.get(), "SELECT url FROM moz_places WHERE id IN (SELECT fk FROM moz_bookmarks)");
        while (sqlite3_step(statement.get()) == SQLITE_ROW) {
            const auto* text = sqlite3_column_text(statement.get(), 0);
            if (text != nullptr) {
                urls.emplace_back(reinterpret_cast<const char*>(text));
            }
        }
    } catch (const SqliteError&) {
        // No readable places database: no bookmark keeps an icon.
    }
    return urls;
}

std::vector<std::string> ChromiumBookmarkedUrls(const std::string& bookmarksPath, bool& valid) {
    std::vector<std::string> urls;
    struct stat info {};
    valid = true;
    if (::lstat(bookmarksPath.c_str(), &info) != 0) {
        return urls;
    }
    const auto json = nlohmann::json::parse(kit::ReadText(bookmarksPath), nullptr, false);
    if (json.is_discarded()) {
        valid = false;
        return urls;
    }
    CollectUrls(json.contains("roots") ? json["roots"] : json, urls);
    return urls;
}

}  // namespace orvelle::traces
