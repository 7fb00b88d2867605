#include "SqliteTraces.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <nlohmann/json.hpp>

#include <fstream>
#include <memory>
#include <sstream>

namespace orvelle::traces {
namespace {

using platform::TraceContent;

struct DatabaseCloser {
    void operator()(sqlite3* db) const noexcept { sqlite3_close_v2(db); }
};
struct StatementCloser {
    void operator()(sqlite3_stmt* statement) const noexcept { sqlite3_finalize(statement); }
};
using Database = std::unique_ptr<sqlite3, DatabaseCloser>;
using Statement = std::unique_ptr<sqlite3_stmt, StatementCloser>;

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

std::string ReadText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
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

}  // namespace

std::string EraseRows(const std::string& path, TraceContent content,
                      const std::vector<std::string>& keepUrls) {
    try {
        const Database db = Open(path, true);
        Exec(db.get(), "PRAGMA foreign_keys = ON");
        Exec(db.get(), "BEGIN IMMEDIATE");
        try {
            switch (content) {
            case TraceContent::FirefoxTyped:
                FirefoxTyped(db.get());
                break;
            case TraceContent::FirefoxHistory:
                FirefoxHistory(db.get());
                break;
            case TraceContent::FirefoxFavicons:
                FirefoxFavicons(db.get(), keepUrls);
                break;
            case TraceContent::FirefoxBookmarks:
                FirefoxBookmarks(db.get());
                break;
            case TraceContent::ChromiumTyped:
                ChromiumTyped(db.get());
                break;
            case TraceContent::ChromiumHistory:
                ChromiumHistory(db.get(), keepUrls);
                break;
            default:
                throw SqliteError("not a database trace");
            }
            Exec(db.get(), "COMMIT");
        } catch (...) {
            // The transaction goes as a whole; the database stays as it was.
            static_cast<void>(sqlite3_exec(db.get(), "ROLLBACK", nullptr, nullptr, nullptr));
            throw;
        }
        Exec(db.get(), "PRAGMA wal_checkpoint(TRUNCATE)");
    } catch (const LinkRefused&) {
        return "\"" + path + "\" is a symbolic link: not cleaned";
    } catch (const SqliteError& error) {
        return "Not cleaned: \"" + path + "\": " + error.what();
    }
    return {};
}

std::vector<std::string> FirefoxBookmarkedUrls(const std::string& placesPath) {
    std::vector<std::string> urls;
    try {
        const Database db = Open(placesPath, false);
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
    const auto json = nlohmann::json::parse(ReadText(bookmarksPath), nullptr, false);
    if (json.is_discarded()) {
        valid = false;
        return urls;
    }
    CollectUrls(json.contains("roots") ? json["roots"] : json, urls);
    return urls;
}

}  // namespace orvelle::traces
