#include "RegistryStoreCheck.h"
#include "kit/Sqlite.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>

namespace orvelle::store {
namespace {

std::string Timestamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
    return text;
}

// Only SQLite's own verdict on the content is damage; every other failure (no space for
// the shared-memory file, no rights, a read-only medium, I/O errors) is trouble.
RegistryStoreStatus Classify(sqlite3* db, int rc, const char* what) {
    const int primary = (db != nullptr ? sqlite3_extended_errcode(db) : rc) & 0xff;
    std::string reason =
        std::string(what) + ": " + (db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
    const int systemError = db != nullptr ? sqlite3_system_errno(db) : 0;
    if (systemError != 0) {
        reason += std::string(" (") + std::strerror(systemError) + ")";
    }
    const bool damaged = primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT;
    return {damaged ? RegistryStoreState::Damaged : RegistryStoreState::Unusable,
            std::move(reason)};
}

bool Exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

}  // namespace

RegistryStoreStatus InspectRegistryStore(const std::string& path) {
    using State = RegistryStoreState;
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        if (errno == ENOENT) {
            return {State::Missing, {}};
        }
        if (errno == ENOTDIR) {
            return {State::Unusable, "a part of its folder's path is a file, not a folder"};
        }
        return {State::Unusable, std::string("it cannot be reached: ") + std::strerror(errno)};
    }
    if (S_ISLNK(info.st_mode)) {
        return {State::Unusable, "it is a symbolic link"};
    }
    if (!S_ISREG(info.st_mode)) {
        return {State::Unusable, "it is not a regular file"};
    }
    if (info.st_size == 0) {
        // SQLite would take it for a new database; a store is never empty.
        return {State::Damaged, "it is empty"};
    }
    sqlite3* raw = nullptr;
    const int opened =
        sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOFOLLOW, nullptr);
    const kit::SqliteDatabase db(raw);
    if (opened != SQLITE_OK) {
        return Classify(db.get(), opened, "it cannot be opened");
    }
    sqlite3_busy_timeout(db.get(), 10000);
    // quick_check does not compare an index with its table: a store whose key index misses
    // rows would pass it and then lose the keys it cannot find. The store is small, so the
    // full check costs well under a millisecond.
    sqlite3_stmt* rawStatement = nullptr;
    const int prepared =
        sqlite3_prepare_v2(db.get(), "PRAGMA integrity_check", -1, &rawStatement, nullptr);
    const kit::SqliteStatement statement(rawStatement);
    if (prepared != SQLITE_OK) {
        return Classify(db.get(), prepared, "it cannot be read");
    }
    const int step = sqlite3_step(statement.get());
    if (step != SQLITE_ROW) {
        return Classify(db.get(), step, "it cannot be read");
    }
    const auto* first = reinterpret_cast<const char*>(sqlite3_column_text(statement.get(), 0));
    const std::string result = first != nullptr ? first : "";
    if (result != "ok") {
        return {State::Damaged, "it fails the integrity check: " + result};
    }
    return {State::Sound, {}};
}

std::optional<DamagedRegistryStore> SetAsideDamagedRegistryStore(const std::string& path) {
    auto status = InspectRegistryStore(path);
    if (status.state != RegistryStoreState::Damaged) {
        return std::nullopt;
    }
    DamagedRegistryStore damaged{path, {}, std::move(status.reason)};
    std::string copy = path + ".damaged-" + Timestamp();
    for (int n = 2; Exists(copy); ++n) {
        copy = path + ".damaged-" + Timestamp() + "-" + std::to_string(n);
    }
    if (::rename(path.c_str(), copy.c_str()) != 0) {
        return damaged;
    }
    damaged.copy = copy;
    // The journal belongs to the damaged file: a new store must not replay it.
    for (const char* suffix : {"-wal", "-shm", "-journal"}) {
        if (Exists(path + suffix)) {
            static_cast<void>(::rename((path + suffix).c_str(), (copy + suffix).c_str()));
        }
    }
    return damaged;
}

std::string DamagedRegistryStoreMessage(const DamagedRegistryStore& damaged) {
    std::string text = "The registry store " + damaged.path + " is damaged (" + damaged.reason +
                       ") and cannot be used.";
    if (!damaged.copy.empty()) {
        text += " It has been moved to " + damaged.copy +
                ", and Orvelle starts with a new store: your settings are back at their "
                "defaults. No clean runs, scheduled or from orvelle-clean, until you have "
                "looked at the cleaning options, shown now.";
    } else {
        text +=
            " It could not be moved aside either, so nothing you set will be kept until "
            "the file is repaired or moved.";
    }
    return text;
}

}  // namespace orvelle::store

namespace orvelle::store {

std::string UnusableRegistryStoreMessage(const std::string& path, const std::string& reason) {
    return "The registry store " + path + " cannot be read as it is (" + reason +
           "). It has been left as it is. Until it can be read, Orvelle shows the default "
           "options, keeps none of your changes, and no scheduled clean runs.";
}

}  // namespace orvelle::store
