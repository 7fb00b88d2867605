#include "RegistryStoreCheck.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>

namespace orvelle::platform::posix {
namespace {

struct DatabaseCloser {
    void operator()(sqlite3* db) const noexcept { sqlite3_close_v2(db); }
};
struct StatementFinalizer {
    void operator()(sqlite3_stmt* statement) const noexcept { sqlite3_finalize(statement); }
};

std::string Timestamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
    return text;
}

bool Exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

}  // namespace

std::optional<std::string> CheckRegistryStore(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        if (errno == ENOENT) {
            return std::nullopt;  // a first start: a new store is made
        }
        return std::string("it cannot be read: ") + std::strerror(errno);
    }
    if (!S_ISREG(info.st_mode)) {
        return std::string("it is not a regular file");
    }
    sqlite3* raw = nullptr;
    const int opened =
        sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOFOLLOW, nullptr);
    const std::unique_ptr<sqlite3, DatabaseCloser> db(raw);
    if (opened != SQLITE_OK) {
        return std::string("it cannot be opened: ") +
               (raw != nullptr ? sqlite3_errmsg(raw) : sqlite3_errstr(opened));
    }
    sqlite3_busy_timeout(db.get(), 10000);
    sqlite3_stmt* rawStatement = nullptr;
    if (sqlite3_prepare_v2(db.get(), "PRAGMA integrity_check", -1, &rawStatement, nullptr) !=
        SQLITE_OK) {
        return std::string("it cannot be opened: ") + sqlite3_errmsg(db.get());
    }
    const std::unique_ptr<sqlite3_stmt, StatementFinalizer> statement(rawStatement);
    const int step = sqlite3_step(statement.get());
    if (step != SQLITE_ROW) {
        return std::string("it cannot be read: ") + sqlite3_errmsg(db.get());
    }
    const auto* first = reinterpret_cast<const char*>(sqlite3_column_text(statement.get(), 0));
    const std::string result = first != nullptr ? first : "";
    if (result != "ok") {
        return "it fails the integrity check: " + result;
    }
    return std::nullopt;
}

std::optional<DamagedRegistryStore> SetAsideDamagedRegistryStore(const std::string& path) {
    auto reason = CheckRegistryStore(path);
    if (!reason) {
        return std::nullopt;
    }
    DamagedRegistryStore damaged{path, {}, std::move(*reason)};
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
                "defaults.";
    } else {
        text +=
            " It could not be moved aside either, so nothing you set will be kept until "
            "the file is repaired or moved.";
    }
    return text;
}

}  // namespace orvelle::platform::posix
