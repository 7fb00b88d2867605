#include "SqliteRegistry.h"

#include "XdgPaths.h"

#include <sqlite3.h>

#include <sys/stat.h>

#include <array>
#include <cerrno>
#include <cstring>

namespace orvelle::store {
namespace {

constexpr LSTATUS ERROR_KEY_DELETED = 1018;

// Root rows of the three hives; their ids never change.
struct Hive {
    HKEY handle;
    std::int64_t id;
    const char* name;
};
constexpr std::array<Hive, 3> kHives{{
    {HKEY_CLASSES_ROOT, 1, "HKEY_CLASSES_ROOT"},
    {HKEY_CURRENT_USER, 2, "HKEY_CURRENT_USER"},
    {HKEY_LOCAL_MACHINE, 3, "HKEY_LOCAL_MACHINE"},
}};

// Keys that a new user profile has on the original platform and that the program
// writes into without creating them.
struct SeedKey {
    std::int64_t hiveId;
    const char* path;
};
constexpr std::array<SeedKey, 8> kSeedKeys{{
    {2, "Software\\Microsoft\\Internet Explorer\\Main"},
    {2, "Software\\Microsoft\\Windows\\CurrentVersion\\Run"},
    {2, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\AutoComplete"},
    {2, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders"},
    {2, "Software\\Classes"},
    {3, "SOFTWARE\\Classes"},
    {3, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run"},
    {3, "SOFTWARE\\Microsoft\\Internet Explorer\\Main"},
}};

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS meta(name TEXT PRIMARY KEY, value TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS keys(
  id INTEGER PRIMARY KEY,
  parent INTEGER REFERENCES keys(id) ON DELETE CASCADE,
  name TEXT NOT NULL COLLATE NOCASE,
  UNIQUE(parent, name));
CREATE TABLE IF NOT EXISTS vals(
  key INTEGER NOT NULL REFERENCES keys(id) ON DELETE CASCADE,
  name TEXT NOT NULL COLLATE NOCASE,
  type INTEGER NOT NULL,
  data BLOB NOT NULL,
  PRIMARY KEY(key, name)) WITHOUT ROWID;
)sql";

constexpr std::size_t kMaxKeyNameLength = 255;

}  // namespace

// Binds, steps and resets one cached prepared statement.
class SqliteRegistry::Statement {
public:
    Statement(SqliteRegistry& owner, const char* sql) : statement_(owner.Prepare(sql)) {}
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    ~Statement() {
        if (statement_ != nullptr) {
            sqlite3_reset(statement_);
            sqlite3_clear_bindings(statement_);
        }
    }
    [[nodiscard]] bool ok() const noexcept { return statement_ != nullptr; }
    Statement& Bind(int index, std::int64_t value) {
        if (statement_ != nullptr) {
            sqlite3_bind_int64(statement_, index, value);
        }
        return *this;
    }
    Statement& Bind(int index, const std::string& value) {
        if (statement_ != nullptr) {
            sqlite3_bind_text(statement_, index, value.data(), static_cast<int>(value.size()),
                              SQLITE_TRANSIENT);
        }
        return *this;
    }
    Statement& BindBlob(int index, const unsigned char* data, std::uint32_t size) {
        if (statement_ != nullptr) {
            // A zero-length blob must still be a blob, not NULL.
            static const unsigned char kEmpty = 0;
            sqlite3_bind_blob(statement_, index, size == 0 ? &kEmpty : data, static_cast<int>(size),
                              SQLITE_TRANSIENT);
        }
        return *this;
    }
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int Step() { return statement_ == nullptr ? SQLITE_ERROR : sqlite3_step(statement_); }
    [[nodiscard]] std::int64_t Int(int column) const {
        return sqlite3_column_int64(statement_, column);
    }
    [[nodiscard]] std::string Text(int column) const {
        const auto* text = sqlite3_column_text(statement_, column);
        return text == nullptr
                   ? std::string{}
                   : std::string(
                         reinterpret_cast<const char*>(text),
                         static_cast<std::size_t>(sqlite3_column_bytes(statement_, column)));
    }
    [[nodiscard]] std::vector<unsigned char> Blob(int column) const {
        const auto* data =
            static_cast<const unsigned char*>(sqlite3_column_blob(statement_, column));
        const auto size = static_cast<std::size_t>(sqlite3_column_bytes(statement_, column));
        return data == nullptr ? std::vector<unsigned char>{}
                               : std::vector<unsigned char>(data, data + size);
    }

private:
    sqlite3_stmt* statement_;
};

// One transaction per registry operation; rolled back unless committed.
class SqliteRegistry::Transaction {
public:
    Transaction(SqliteRegistry& owner, bool write) : owner_(owner), db_(owner.db_.get()) {
        if (write) {
            owner_.lastError_.clear();
        }
        active_ = db_ != nullptr && sqlite3_exec(db_, write ? "BEGIN IMMEDIATE" : "BEGIN", nullptr,
                                                 nullptr, nullptr) == SQLITE_OK;
        if (!active_ && db_ != nullptr) {
            owner_.NoteError(write ? "the store cannot be written" : "the store cannot be read");
        }
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    ~Transaction() {
        if (active_) {
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        }
    }
    [[nodiscard]] bool ok() const noexcept { return active_; }
    LSTATUS Commit(LSTATUS status) {
        if (!active_) {
            return ERROR_BADDB;
        }
        if (status != ERROR_SUCCESS) {
            return status;  // the destructor rolls back whatever was done
        }
        active_ = false;
        // Statements still holding a row would keep the read snapshot open.
        owner_.ResetStatements();
        if (sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
            owner_.NoteError("the change could not be saved");
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
            return ERROR_CANTWRITE;
        }
        return ERROR_SUCCESS;
    }

private:
    SqliteRegistry& owner_;
    sqlite3* db_;
    bool active_ = false;
};

std::vector<std::string> SplitKeyPath(const std::string& path) {
    std::vector<std::string> parts;
    std::string current;
    for (const char c : path) {
        if (c == '\\') {
            if (!current.empty()) {
                parts.push_back(std::move(current));
                current.clear();
            }
        } else {
            current += c;
        }
    }
    if (!current.empty()) {
        parts.push_back(std::move(current));
    }
    return parts;
}

SqliteRegistry::SqliteRegistry(std::string databasePath) : path_(std::move(databasePath)) {
    Open();
}

SqliteRegistry::~SqliteRegistry() = default;

std::string SqliteRegistry::DefaultPath() {
    return os::posix::XdgPaths::OrvelleConfigDir() + "/registry.db";
}

void SqliteRegistry::NoteError(const char* what) {
    if (!db_) {
        return;
    }
    lastError_ = std::string(what) + ": " + sqlite3_errmsg(db_.get());
    if (const int systemError = sqlite3_system_errno(db_.get()); systemError != 0) {
        lastError_ += std::string(" (") + std::strerror(systemError) + ")";
    }
}

void SqliteRegistry::Open() {
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOFOLLOW | SQLITE_OPEN_FULLMUTEX;
    struct stat info {};
    if (path_ == ":memory:" || (::lstat(path_.c_str(), &info) != 0 && errno == ENOENT)) {
        flags |= SQLITE_OPEN_CREATE;
    } else if (info.st_size == 0 && S_ISREG(info.st_mode)) {
        // SQLite would make an empty file a new store: it is a damaged one.
        lastError_ = "the store is an empty file";
        return;
    }
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(path_.c_str(), &raw, flags, nullptr);
    db_.reset(raw);
    if (rc != SQLITE_OK) {
        NoteError("the store cannot be opened");
        if (raw == nullptr) {
            lastError_ = std::string("the store cannot be opened: ") + sqlite3_errstr(rc);
        }
        db_.reset();
        return;
    }
    sqlite3_busy_timeout(db_.get(), 10000);
    sqlite3_exec(db_.get(), "PRAGMA foreign_keys=ON", nullptr, nullptr, nullptr);
    if (path_ != ":memory:") {
        // Readers then never wait for a writer in another process.
        sqlite3_exec(db_.get(), "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
        sqlite3_exec(db_.get(), "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
    }
    if (Initialise()) {
        return;
    }
    const std::string writeError = lastError_;
    // A store that cannot be written but holds our tables is still the user's: it is
    // read as it is, and every change fails out loud.
    bool readable = false;
    {
        Transaction transaction(*this, false);
        Statement version(*this, "SELECT value FROM meta WHERE name='schema'");
        readable = transaction.ok() && version.Step() == SQLITE_ROW;
    }
    if (readable) {
        lastError_ = writeError;
        return;
    }
    if (lastError_.empty()) {
        NoteError("the store cannot be opened");
    }
    statements_.clear();
    db_.reset();
}

LSTATUS SqliteRegistry::WriteFailed() {
    NoteError("the change could not be saved");
    return ERROR_CANTWRITE;
}

bool SqliteRegistry::OptionsUnconfirmed() {
    Transaction transaction(*this, false);
    Statement query(*this, "SELECT 1 FROM meta WHERE name='options-unconfirmed'");
    return query.Step() == SQLITE_ROW;
}

bool SqliteRegistry::SetOptionsUnconfirmed(bool unconfirmed) {
    Transaction transaction(*this, true);
    Statement change(*this, unconfirmed ? "INSERT OR REPLACE INTO meta(name, value) "
                                          "VALUES('options-unconfirmed', '1')"
                                        : "DELETE FROM meta WHERE name='options-unconfirmed'");
    if (change.Step() != SQLITE_DONE) {
        NoteError("the change could not be saved");
        return false;
    }
    return transaction.Commit(ERROR_SUCCESS) == ERROR_SUCCESS;
}

bool SqliteRegistry::Initialise() {
    Transaction transaction(*this, true);
    if (!transaction.ok()) {
        return false;
    }
    if (sqlite3_exec(db_.get(), kSchema, nullptr, nullptr, nullptr) != SQLITE_OK) {
        return false;
    }
    {
        Statement version(*this, "SELECT value FROM meta WHERE name='schema'");
        if (version.Step() == SQLITE_ROW) {
            return transaction.Commit(ERROR_SUCCESS) == ERROR_SUCCESS;
        }
    }
    // A new store: the hive roots, then the keys of a new profile.
    for (const auto& hive : kHives) {
        Statement insert(*this, "INSERT OR IGNORE INTO keys(id, parent, name) VALUES(?, NULL, ?)");
        insert.Bind(1, hive.id).Bind(2, std::string(hive.name));
        if (insert.Step() != SQLITE_DONE) {
            return false;
        }
    }
    for (const auto& seed : kSeedKeys) {
        std::int64_t id = 0;
        if (CreatePath(seed.hiveId, seed.path, id) != ERROR_SUCCESS) {
            return false;
        }
    }
    Statement mark(*this, "INSERT INTO meta(name, value) VALUES('schema', '1')");
    if (mark.Step() != SQLITE_DONE) {
        return false;
    }
    return transaction.Commit(ERROR_SUCCESS) == ERROR_SUCCESS;
}

void SqliteRegistry::ResetStatements() {
    for (auto& entry : statements_) {
        sqlite3_reset(entry.second.get());
    }
}

sqlite3_stmt* SqliteRegistry::Prepare(const char* sql) {
    if (!db_) {
        return nullptr;
    }
    const auto found = statements_.find(std::string_view(sql));
    if (found != statements_.end()) {
        return found->second.get();
    }
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v3(db_.get(), sql, -1, SQLITE_PREPARE_PERSISTENT, &raw, nullptr) !=
        SQLITE_OK) {
        return nullptr;
    }
    kit::SqliteStatement owned(raw);
    return statements_.emplace(sql, std::move(owned)).first->second.get();
}

bool SqliteRegistry::Resolve(HKEY key, std::uint32_t neededAccess, std::int64_t& keyId,
                             LSTATUS& status) const {
    if (!db_) {
        status = ERROR_BADDB;
        return false;
    }
    for (const auto& hive : kHives) {
        if (hive.handle == key) {
            keyId = hive.id;
            return true;
        }
    }
    const auto found = handles_.find(key);
    if (found == handles_.end()) {
        status = ERROR_INVALID_HANDLE;
        return false;
    }
    if ((found->second.access & neededAccess) != neededAccess) {
        status = ERROR_ACCESS_DENIED;
        return false;
    }
    keyId = found->second.keyId;
    return true;
}

bool SqliteRegistry::KeyExists(std::int64_t keyId) {
    Statement query(*this, "SELECT 1 FROM keys WHERE id=?");
    query.Bind(1, keyId);
    return query.Step() == SQLITE_ROW;
}

LSTATUS SqliteRegistry::FindPath(std::int64_t from, const std::string& path, std::int64_t& keyId) {
    if (!KeyExists(from)) {
        return ERROR_KEY_DELETED;
    }
    std::int64_t current = from;
    for (const auto& part : SplitKeyPath(path)) {
        Statement query(*this, "SELECT id FROM keys WHERE parent=? AND name=?");
        query.Bind(1, current).Bind(2, part);
        const int rc = query.Step();
        if (rc == SQLITE_DONE) {
            return ERROR_FILE_NOT_FOUND;
        }
        if (rc != SQLITE_ROW) {
            return ERROR_BADDB;
        }
        current = query.Int(0);
    }
    keyId = current;
    return ERROR_SUCCESS;
}

LSTATUS SqliteRegistry::CreatePath(std::int64_t from, const std::string& path,
                                   std::int64_t& keyId) {
    if (!KeyExists(from)) {
        return ERROR_KEY_DELETED;
    }
    std::int64_t current = from;
    for (const auto& part : SplitKeyPath(path)) {
        if (part.size() > kMaxKeyNameLength) {
            return ERROR_INVALID_PARAMETER;
        }
        Statement query(*this, "SELECT id FROM keys WHERE parent=? AND name=?");
        query.Bind(1, current).Bind(2, part);
        const int rc = query.Step();
        if (rc == SQLITE_ROW) {
            current = query.Int(0);
            continue;
        }
        if (rc != SQLITE_DONE) {
            return ERROR_BADDB;
        }
        Statement insert(*this, "INSERT INTO keys(parent, name) VALUES(?, ?)");
        insert.Bind(1, current).Bind(2, part);
        if (insert.Step() != SQLITE_DONE) {
            return WriteFailed();
        }
        current = sqlite3_last_insert_rowid(db_.get());
    }
    keyId = current;
    return ERROR_SUCCESS;
}

HKEY SqliteRegistry::NewHandle(std::int64_t keyId, std::uint32_t access) {
    // Handles stay below the hive values and are never handed out twice.
    const HKEY handle = nextHandle_;
    nextHandle_ += 4;
    handles_.emplace(handle, OpenHandle{keyId, access});
    return handle;
}

LSTATUS SqliteRegistry::RegOpenKeyExA(HKEY key, const std::string& subKey, std::uint32_t samDesired,
                                      HKEY& result) {
    result = kNullKey;
    std::int64_t from = 0;
    LSTATUS status = ERROR_SUCCESS;
    if (!Resolve(key, 0, from, status)) {
        return status;
    }
    Transaction transaction(*this, false);
    std::int64_t target = 0;
    status = FindPath(from, subKey, target);
    if (transaction.Commit(status) != ERROR_SUCCESS) {
        return status != ERROR_SUCCESS ? status : ERROR_BADDB;
    }
    result = NewHandle(target, samDesired);
    return ERROR_SUCCESS;
}

LSTATUS SqliteRegistry::RegCreateKeyExA(HKEY key, const std::string& subKey,
                                        std::uint32_t samDesired, HKEY& result) {
    result = kNullKey;
    std::int64_t from = 0;
    LSTATUS status = ERROR_SUCCESS;
    if (!Resolve(key, 0, from, status)) {
        return status;
    }
    if (SplitKeyPath(subKey).empty() && from <= 3) {
        // Creating "nothing" under a hive opens the hive itself, as the platform does.
        result = NewHandle(from, samDesired);
        return ERROR_SUCCESS;
    }
    Transaction transaction(*this, true);
    std::int64_t target = 0;
    status = CreatePath(from, subKey, target);
    status = transaction.Commit(status);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    result = NewHandle(target, samDesired);
    return ERROR_SUCCESS;
}

LSTATUS SqliteRegistry::RegQueryValueExA(HKEY key, const std::string& valueName,
                                         std::uint32_t* type, unsigned char* data,
                                         std::uint32_t* cbData) {
    std::int64_t keyId = 0;
    LSTATUS status = ERROR_SUCCESS;
    if (!Resolve(key, KEY_QUERY_VALUE, keyId, status)) {
        return status;
    }
    if (data != nullptr && cbData == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    Transaction transaction(*this, false);
    if (!KeyExists(keyId)) {
        return ERROR_KEY_DELETED;
    }
    Statement query(*this, "SELECT type, data FROM vals WHERE key=? AND name=?");
    query.Bind(1, keyId).Bind(2, valueName);
    const int rc = query.Step();
    if (rc == SQLITE_DONE) {
        return ERROR_FILE_NOT_FOUND;
    }
    if (rc != SQLITE_ROW) {
        return ERROR_BADDB;
    }
    const auto valueType = static_cast<std::uint32_t>(query.Int(0));
    const auto bytes = query.Blob(1);
    const auto size = static_cast<std::uint32_t>(bytes.size());
    if (type != nullptr) {
        *type = valueType;
    }
    if (data != nullptr) {
        if (*cbData < size) {
            *cbData = size;
            return ERROR_MORE_DATA;
        }
        if (size != 0) {
            std::memcpy(data, bytes.data(), size);
        }
    }
    if (cbData != nullptr) {
        *cbData = size;
    }
    return transaction.Commit(ERROR_SUCCESS);
}

LSTATUS SqliteRegistry::RegSetValueExA(HKEY key, const std::string& valueName, std::uint32_t type,
                                       const unsigned char* data, std::uint32_t cbData) {
    std::int64_t keyId = 0;
    LSTATUS status = ERROR_SUCCESS;
    if (!Resolve(key, KEY_SET_VALUE, keyId, status)) {
        return status;
    }
    if (data == nullptr && cbData != 0) {
        return ERROR_INVALID_PARAMETER;
    }
    Transaction transaction(*this, true);
    if (!KeyExists(keyId)) {
        return ERROR_KEY_DELETED;
    }
    Statement upsert(*this,
                     "INSERT INTO vals(key, name, type, data) VALUES(?, ?, ?, ?) "
                     "ON CONFLICT(key, name) DO UPDATE SET type=excluded.type, data=excluded.data");
    upsert.Bind(1, keyId).Bind(2, valueName).Bind(3, static_cast<std::int64_t>(type));
    upsert.BindBlob(4, data, cbData);
    if (upsert.Step() != SQLITE_DONE) {
        return WriteFailed();
    }
    return transaction.Commit(ERROR_SUCCESS);
}

LSTATUS SqliteRegistry::RegDeleteValueA(HKEY key, const std::string& valueName) {
    std::int64_t keyId = 0;
    LSTATUS status = ERROR_SUCCESS;
    if (!Resolve(key, KEY_SET_VALUE, keyId, status)) {
        return status;
    }
    Transaction transaction(*this, true);
    if (!KeyExists(keyId)) {
        return ERROR_KEY_DELETED;
    }
    Statement erase(*this, "DELETE FROM vals WHERE key=? AND name=?");
    erase.Bind(1, keyId).Bind(2, valueName);
    if (erase.Step() != SQLITE_DONE) {
        return WriteFailed();
    }
    if (sqlite3_changes(db_.get()) == 0) {
        return ERROR_FILE_NOT_FOUND;
    }
    return transaction.Commit(ERROR_SUCCESS);
}

LSTATUS SqliteRegistry::RegDeleteKeyA(HKEY key, const std::string& subKey) {
    std::int64_t from = 0;
    LSTATUS status = ERROR_SUCCESS;
    if (!Resolve(key, 0, from, status)) {
        return status;
    }
    if (SplitKeyPath(subKey).empty()) {
        return ERROR_INVALID_PARAMETER;
    }
    Transaction transaction(*this, true);
    std::int64_t target = 0;
    status = FindPath(from, subKey, target);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    {
        Statement children(*this, "SELECT 1 FROM keys WHERE parent=? LIMIT 1");
        children.Bind(1, target);
        if (children.Step() == SQLITE_ROW) {
            return ERROR_ACCESS_DENIED;
        }
    }
    Statement erase(*this, "DELETE FROM keys WHERE id=?");
    erase.Bind(1, target);
    if (erase.Step() != SQLITE_DONE) {
        return WriteFailed();
    }
    return transaction.Commit(ERROR_SUCCESS);
}

LSTATUS SqliteRegistry::RegDeleteTreeA(HKEY key, const std::string& subKey) {
    std::int64_t from = 0;
    LSTATUS status = ERROR_SUCCESS;
    if (!Resolve(key, 0, from, status)) {
        return status;
    }
    Transaction transaction(*this, true);
    std::int64_t target = 0;
    status = FindPath(from, subKey, target);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    if (SplitKeyPath(subKey).empty() || target <= 3) {
        // Empty the key itself (a hive root is never removed).
        Statement values(*this, "DELETE FROM vals WHERE key=?");
        values.Bind(1, target);
        Statement keys(*this, "DELETE FROM keys WHERE parent=?");
        keys.Bind(1, target);
        if (values.Step() != SQLITE_DONE || keys.Step() != SQLITE_DONE) {
            return WriteFailed();
        }
    } else {
        Statement erase(*this, "DELETE FROM keys WHERE id=?");
        erase.Bind(1, target);
        if (erase.Step() != SQLITE_DONE) {
            return WriteFailed();
        }
    }
    return transaction.Commit(ERROR_SUCCESS);
}

LSTATUS SqliteRegistry::RegEnumKeyExA(HKEY key, std::uint32_t index, std::string& name) {
    std::int64_t keyId = 0;
    LSTATUS status = ERROR_SUCCESS;
    if (!Resolve(key, 0, keyId, status)) {
        return status;
    }
    Transaction transaction(*this, false);
    Statement query(*this, "SELECT name FROM keys WHERE parent=? ORDER BY name LIMIT 1 OFFSET ?");
    query.Bind(1, keyId).Bind(2, static_cast<std::int64_t>(index));
    const int rc = query.Step();
    if (rc == SQLITE_DONE) {
        return ERROR_NO_MORE_ITEMS;
    }
    if (rc != SQLITE_ROW) {
        return ERROR_BADDB;
    }
    name = query.Text(0);
    return transaction.Commit(ERROR_SUCCESS);
}

LSTATUS SqliteRegistry::RegEnumValueA(HKEY key, std::uint32_t index, std::string& name,
                                      std::uint32_t& type, std::vector<unsigned char>& data) {
    std::int64_t keyId = 0;
    LSTATUS status = ERROR_SUCCESS;
    if (!Resolve(key, KEY_QUERY_VALUE, keyId, status)) {
        return status;
    }
    Transaction transaction(*this, false);
    Statement query(*this,
                    "SELECT name, type, data FROM vals WHERE key=? ORDER BY name LIMIT 1 OFFSET ?");
    query.Bind(1, keyId).Bind(2, static_cast<std::int64_t>(index));
    const int rc = query.Step();
    if (rc == SQLITE_DONE) {
        return ERROR_NO_MORE_ITEMS;
    }
    if (rc != SQLITE_ROW) {
        return ERROR_BADDB;
    }
    name = query.Text(0);
    type = static_cast<std::uint32_t>(query.Int(1));
    data = query.Blob(2);
    return transaction.Commit(ERROR_SUCCESS);
}

LSTATUS SqliteRegistry::RegCloseKey(HKEY key) {
    for (const auto& hive : kHives) {
        if (hive.handle == key) {
            return ERROR_SUCCESS;
        }
    }
    if (key == kNullKey) {
        return ERROR_INVALID_HANDLE;
    }
    return handles_.erase(key) == 1 ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

}  // namespace orvelle::store
