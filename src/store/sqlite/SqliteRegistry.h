#pragma once

#include "kit/Sqlite.h"
#include "store/Registry.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace orvelle::store {

// The registry on Linux: a per-user SQLite database holding the hives
// HKEY_CLASSES_ROOT, HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE. Key and value names
// compare without regard to (ASCII) case; value data is kept as the bytes written,
// with its type. Every operation is one transaction, so two processes may use the
// store at once. A new store holds the keys a new user profile has.
class SqliteRegistry final : public IRegistry {
public:
    // Opens the database file, creating it only where no file is; ":memory:" gives a
    // private store. A store that can be read but not written opens for reading: every
    // change then fails, with the reason in LastError().
    explicit SqliteRegistry(std::string databasePath);
    ~SqliteRegistry() override;
    SqliteRegistry(SqliteRegistry&&) = delete;
    SqliteRegistry& operator=(SqliteRegistry&&) = delete;
    SqliteRegistry(const SqliteRegistry&) = delete;
    SqliteRegistry& operator=(const SqliteRegistry&) = delete;

    // $XDG_CONFIG_HOME/orvelle/registry.db
    static std::string DefaultPath();

    // Whether the database could be opened; every operation fails with ERROR_BADDB otherwise.
    [[nodiscard]] bool IsOpen() const noexcept { return db_ != nullptr; }
    [[nodiscard]] const std::string& Path() const noexcept { return path_; }
    // Why the store could not be opened, or the last change could not be written.
    [[nodiscard]] const std::string& LastError() const noexcept { return lastError_; }

    // A store made in place of a damaged one holds guessed options until the user has
    // looked at them; every process that cleans asks this first.
    [[nodiscard]] bool OptionsUnconfirmed();
    bool SetOptionsUnconfirmed(bool unconfirmed);

    LSTATUS RegOpenKeyExA(HKEY key, const std::string& subKey, std::uint32_t samDesired,
                          HKEY& result) override;
    LSTATUS RegCreateKeyExA(HKEY key, const std::string& subKey, std::uint32_t samDesired,
                            HKEY& result) override;
    LSTATUS RegQueryValueExA(HKEY key, const std::string& valueName, std::uint32_t* type,
                             unsigned char* data, std::uint32_t* cbData) override;
    LSTATUS RegSetValueExA(HKEY key, const std::string& valueName, std::uint32_t type,
                           const unsigned char* data, std::uint32_t cbData) override;
    LSTATUS RegDeleteValueA(HKEY key, const std::string& valueName) override;
    LSTATUS RegDeleteKeyA(HKEY key, const std::string& subKey) override;
    LSTATUS RegDeleteTreeA(HKEY key, const std::string& subKey) override;
    LSTATUS RegEnumKeyExA(HKEY key, std::uint32_t index, std::string& name) override;
    LSTATUS RegEnumValueA(HKEY key, std::uint32_t index, std::string& name, std::uint32_t& type,
                          std::vector<unsigned char>& data) override;
    LSTATUS RegCloseKey(HKEY key) override;

private:
    struct OpenHandle {
        std::int64_t keyId;
        std::uint32_t access;
    };
    class Statement;
    class Transaction;

    void Open();
    void NoteError(const char* what);
    LSTATUS WriteFailed();
    bool Initialise();
    [[nodiscard]] bool Resolve(HKEY key, std::uint32_t neededAccess, std::int64_t& keyId,
                               LSTATUS& status) const;
    [[nodiscard]] LSTATUS FindPath(std::int64_t from, const std::string& path, std::int64_t& keyId);
    [[nodiscard]] LSTATUS CreatePath(std::int64_t from, const std::string& path,
                                     std::int64_t& keyId);
    [[nodiscard]] bool KeyExists(std::int64_t keyId);
    [[nodiscard]] sqlite3_stmt* Prepare(const char* sql);
    void ResetStatements();
    HKEY NewHandle(std::int64_t keyId, std::uint32_t access);

    std::string path_;
    std::string lastError_;
    // Statements are declared after the database so that they are finalized first.
    kit::SqliteDatabase db_;
    std::map<std::string, kit::SqliteStatement, std::less<>> statements_;
    std::map<HKEY, OpenHandle> handles_;
    HKEY nextHandle_ = 0x100;
};

// Splits a registry path at its backslashes, dropping empty parts.
std::vector<std::string> SplitKeyPath(const std::string& path);

}  // namespace orvelle::store
