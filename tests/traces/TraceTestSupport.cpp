#include "TraceTestSupport.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>

namespace orvelle::test {

namespace fs = std::filesystem;

void Put(const std::string& path, const std::string& content) {
    fs::create_directories(fs::path(path).parent_path());
    WriteFile(path, content);
}

std::map<std::string, std::string> Snapshot(const std::string& root) {
    std::map<std::string, std::string> files;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(root, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        const std::string path = it->path().string();
        if (it->is_symlink()) {
            files[path] = "-> " + fs::read_symlink(it->path()).string();
        } else if (it->is_directory()) {
            files[path] = "/";
        } else {
            files[path] = ReadFile(path);
        }
    }
    return files;
}

namespace {

struct Db {
    explicit Db(const std::string& path) {
        EXPECT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK) << path;
    }
    ~Db() { sqlite3_close(db); }
    sqlite3* db = nullptr;
};

}  // namespace

void MakeDatabase(const std::string& path, int rows) {
    fs::create_directories(fs::path(path).parent_path());
    Db db(path);
    std::string sql = "CREATE TABLE t(x);";
    for (int i = 0; i < rows; ++i) {
        sql += "INSERT INTO t VALUES (" + std::to_string(i) + ");";
    }
    EXPECT_EQ(sqlite3_exec(db.db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
}

void ExecSql(const std::string& database, const std::string& sql) {
    Db db(database);
    char* message = nullptr;
    EXPECT_EQ(sqlite3_exec(db.db, sql.c_str(), nullptr, nullptr, &message), SQLITE_OK)
        << sql << ": " << (message != nullptr ? message : "");
    sqlite3_free(message);
}

long long QueryNumber(const std::string& database, const std::string& sql) {
    Db db(database);
    sqlite3_stmt* statement = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db.db, sql.c_str(), -1, &statement, nullptr), SQLITE_OK)
        << sql << ": " << sqlite3_errmsg(db.db);
    long long value = -1;
    if (statement != nullptr && sqlite3_step(statement) == SQLITE_ROW) {
        value = sqlite3_column_int64(statement, 0);
    }
    sqlite3_finalize(statement);
    return value;
}

std::string IntegrityCheck(const std::string& database) {
    Db db(database);
    sqlite3_stmt* statement = nullptr;
    std::string answer = "(no answer)";
    if (sqlite3_prepare_v2(db.db, "PRAGMA integrity_check", -1, &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW) {
        answer = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
    }
    sqlite3_finalize(statement);
    return answer;
}

}  // namespace orvelle::test
