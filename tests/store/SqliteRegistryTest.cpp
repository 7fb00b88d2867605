#include "PrivateMounts.h"
#include "RegistryStoreCheck.h"
#include "SqliteRegistry.h"
#include "TempEnvironment.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <functional>

using namespace orvelle::store;
using orvelle::store::SqliteRegistry;

namespace {

std::vector<unsigned char> Sz(const std::string& text) {
    std::vector<unsigned char> data(text.begin(), text.end());
    data.push_back(0);
    return data;
}

LSTATUS SetString(IRegistry& registry, HKEY key, const std::string& name, const std::string& text) {
    const auto data = Sz(text);
    return registry.RegSetValueExA(key, name, REG_SZ, data.data(),
                                   static_cast<std::uint32_t>(data.size()));
}

std::string GetString(IRegistry& registry, HKEY key, const std::string& name) {
    std::uint32_t size = 0;
    std::uint32_t type = 0;
    if (registry.RegQueryValueExA(key, name, &type, nullptr, &size) != ERROR_SUCCESS) {
        return "<missing>";
    }
    std::vector<unsigned char> buffer(size);
    EXPECT_EQ(registry.RegQueryValueExA(key, name, &type, buffer.data(), &size), ERROR_SUCCESS);
    return std::string(buffer.begin(), buffer.end() - (size > 0 ? 1 : 0));
}

class SqliteRegistryTest : public ::testing::Test {
protected:
    SqliteRegistry registry{":memory:"};
};

}  // namespace

TEST_F(SqliteRegistryTest, NewStoreHoldsTheKeysOfANewProfile) {
    ASSERT_TRUE(registry.IsOpen());
    for (const char* path :
         {"Software\\Microsoft\\Internet Explorer\\Main",
          "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
          "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\AutoComplete",
          "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders"}) {
        HKEY key = kNullKey;
        EXPECT_EQ(registry.RegOpenKeyExA(HKEY_CURRENT_USER, path, KEY_READ, key), ERROR_SUCCESS)
            << path;
        EXPECT_NE(key, kNullKey);
        registry.RegCloseKey(key);
    }
    HKEY missing = 123;
    EXPECT_EQ(registry.RegOpenKeyExA(HKEY_CURRENT_USER,
                                     "Software\\Microsoft\\Internet Explorer\\TypedURLs", KEY_READ,
                                     missing),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(missing, kNullKey) << "a failed open leaves the handle 0";
}

TEST_F(SqliteRegistryTest, NamesCompareWithoutRegardToCaseAndKeepTheirFirstSpelling) {
    HKEY key = kNullKey;
    ASSERT_EQ(registry.RegCreateKeyExA(HKEY_CLASSES_ROOT, ".kdf\\shell\\open\\command",
                                       KEY_SIX_SPECIFIC_RIGHTS, key),
              ERROR_SUCCESS);
    registry.RegCloseKey(key);
    HKEY upper = kNullKey;
    ASSERT_EQ(registry.RegOpenKeyExA(HKEY_CLASSES_ROOT, ".KDF", KEY_SIX_SPECIFIC_RIGHTS, upper),
              ERROR_SUCCESS);
    ASSERT_EQ(SetString(registry, upper, "Value", "x"), ERROR_SUCCESS);
    EXPECT_EQ(GetString(registry, upper, "VALUE"), "x");
    std::string name;
    ASSERT_EQ(registry.RegEnumKeyExA(HKEY_CLASSES_ROOT, 0, name), ERROR_SUCCESS);
    EXPECT_EQ(name, ".kdf");
    registry.RegCloseKey(upper);
}

TEST_F(SqliteRegistryTest, ValuesKeepTypeAndExactBytes) {
    HKEY key = kNullKey;
    ASSERT_EQ(
        registry.RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Test", KEY_SIX_SPECIFIC_RIGHTS, key),
        ERROR_SUCCESS);
    ASSERT_EQ(SetString(registry, key, "Start Page", "about:blank"), ERROR_SUCCESS);
    const std::int32_t number = -2;
    ASSERT_EQ(registry.RegSetValueExA(key, "Number", REG_DWORD,
                                      reinterpret_cast<const unsigned char*>(&number), 4),
              ERROR_SUCCESS);
    const unsigned char binary[] = {0, 1, 2, 0xFF};
    ASSERT_EQ(registry.RegSetValueExA(key, "Binary", REG_BINARY, binary, sizeof binary),
              ERROR_SUCCESS);
    ASSERT_EQ(registry.RegSetValueExA(key, "Empty", REG_BINARY, nullptr, 0), ERROR_SUCCESS);

    std::uint32_t type = 0;
    std::uint32_t size = 0;
    ASSERT_EQ(registry.RegQueryValueExA(key, "Start Page", &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, 12U) << "11 characters and the terminating zero";

    std::int32_t readBack = 0;
    size = 4;
    ASSERT_EQ(registry.RegQueryValueExA(key, "Number", &type,
                                        reinterpret_cast<unsigned char*>(&readBack), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(readBack, -2);

    unsigned char small[2];
    size = sizeof small;
    EXPECT_EQ(registry.RegQueryValueExA(key, "Binary", &type, small, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 4U) << "a too small buffer learns the size it needs";
    unsigned char big[8] = {};
    size = sizeof big;
    ASSERT_EQ(registry.RegQueryValueExA(key, "Binary", &type, big, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_BINARY);
    EXPECT_EQ(size, 4U);
    EXPECT_EQ(std::memcmp(big, binary, 4), 0);

    size = 99;
    ASSERT_EQ(registry.RegQueryValueExA(key, "Empty", &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 0U);
    registry.RegCloseKey(key);
}

TEST_F(SqliteRegistryTest, DefaultValueHasTheEmptyName) {
    HKEY key = kNullKey;
    ASSERT_EQ(registry.RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\kdf_auto_file",
                                       KEY_SIX_SPECIFIC_RIGHTS, key),
              ERROR_SUCCESS);
    ASSERT_EQ(SetString(registry, key, "", "Kordex File"), ERROR_SUCCESS);
    EXPECT_EQ(GetString(registry, key, ""), "Kordex File");
    EXPECT_EQ(GetString(registry, key, "other"), "<missing>");
    registry.RegCloseKey(key);
}

TEST_F(SqliteRegistryTest, AccessMaskLimitsWhatAHandleMayDo) {
    HKEY writeOnly = kNullKey;
    ASSERT_EQ(registry.RegOpenKeyExA(HKEY_CURRENT_USER,
                                     "Software\\Microsoft\\Windows\\CurrentVersion\\Run", KEY_WRITE,
                                     writeOnly),
              ERROR_SUCCESS);
    EXPECT_EQ(SetString(registry, writeOnly, "Orvelle", "/opt/orvelle/orvelle"), ERROR_SUCCESS);
    std::uint32_t size = 0;
    EXPECT_EQ(registry.RegQueryValueExA(writeOnly, "Orvelle", nullptr, nullptr, &size),
              ERROR_ACCESS_DENIED);
    registry.RegCloseKey(writeOnly);

    HKEY readOnly = kNullKey;
    ASSERT_EQ(registry.RegOpenKeyExA(HKEY_CURRENT_USER,
                                     "Software\\Microsoft\\Windows\\CurrentVersion\\Run", KEY_READ,
                                     readOnly),
              ERROR_SUCCESS);
    EXPECT_EQ(GetString(registry, readOnly, "orvelle"), "/opt/orvelle/orvelle");
    EXPECT_EQ(SetString(registry, readOnly, "Other", "x"), ERROR_ACCESS_DENIED);
    registry.RegCloseKey(readOnly);
}

TEST_F(SqliteRegistryTest, HandleZeroAndClosedHandlesFailHarmlessly) {
    EXPECT_EQ(SetString(registry, kNullKey, "x", "y"), ERROR_INVALID_HANDLE);
    std::uint32_t size = 0;
    EXPECT_EQ(registry.RegQueryValueExA(kNullKey, "x", nullptr, nullptr, &size),
              ERROR_INVALID_HANDLE);
    EXPECT_EQ(registry.RegCloseKey(kNullKey), ERROR_INVALID_HANDLE);
    HKEY key = kNullKey;
    ASSERT_EQ(registry.RegOpenKeyExA(HKEY_CURRENT_USER, "Software", KEY_READ, key), ERROR_SUCCESS);
    EXPECT_EQ(registry.RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(registry.RegCloseKey(key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(GetString(registry, key, "x"), "<missing>");
}

TEST_F(SqliteRegistryTest, DeleteKeyRefusesKeysWithSubkeysAndDeleteTreeRemovesEverything) {
    HKEY key = kNullKey;
    ASSERT_EQ(registry.RegCreateKeyExA(HKEY_CURRENT_USER,
                                       "Software\\Microsoft\\Internet Explorer\\TypedURLs",
                                       KEY_SIX_SPECIFIC_RIGHTS, key),
              ERROR_SUCCESS);
    ASSERT_EQ(SetString(registry, key, "url1", "http://example.com/"), ERROR_SUCCESS);
    registry.RegCloseKey(key);

    EXPECT_EQ(registry.RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer"),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(registry.RegDeleteKeyA(HKEY_CURRENT_USER,
                                     "Software\\Microsoft\\Internet Explorer\\TypedURLs"),
              ERROR_SUCCESS);
    EXPECT_EQ(registry.RegDeleteKeyA(HKEY_CURRENT_USER,
                                     "Software\\Microsoft\\Internet Explorer\\TypedURLs"),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(registry.RegOpenKeyExA(HKEY_CURRENT_USER,
                                     "Software\\Microsoft\\Internet Explorer\\Main", KEY_READ, key),
              ERROR_SUCCESS)
        << "the sibling stays";
    registry.RegCloseKey(key);

    EXPECT_EQ(registry.RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Microsoft"), ERROR_SUCCESS);
    EXPECT_EQ(registry.RegOpenKeyExA(HKEY_CURRENT_USER,
                                     "Software\\Microsoft\\Internet Explorer\\Main", KEY_READ, key),
              ERROR_FILE_NOT_FOUND);
}

TEST_F(SqliteRegistryTest, AHandleToADeletedKeyFails) {
    HKEY key = kNullKey;
    ASSERT_EQ(
        registry.RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Gone", KEY_SIX_SPECIFIC_RIGHTS, key),
        ERROR_SUCCESS);
    ASSERT_EQ(registry.RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Gone"), ERROR_SUCCESS);
    EXPECT_NE(SetString(registry, key, "x", "y"), ERROR_SUCCESS);
    registry.RegCloseKey(key);
}

TEST_F(SqliteRegistryTest, DeleteValueReportsAMissingValue) {
    HKEY key = kNullKey;
    ASSERT_EQ(registry.RegOpenKeyExA(HKEY_CURRENT_USER,
                                     "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                                     KEY_SIX_SPECIFIC_RIGHTS, key),
              ERROR_SUCCESS);
    EXPECT_EQ(registry.RegDeleteValueA(key, "Orvelle"), ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(SetString(registry, key, "Orvelle", "x"), ERROR_SUCCESS);
    EXPECT_EQ(registry.RegDeleteValueA(key, "ORVELLE"), ERROR_SUCCESS);
    EXPECT_EQ(GetString(registry, key, "Orvelle"), "<missing>");
    registry.RegCloseKey(key);
}

TEST(SqliteRegistryFileTest, StoreSurvivesReopeningAndIsSharedBetweenProcesses) {
    orvelle::test::TempEnvironment environment;
    const std::string path = environment.Path("registry.db");
    {
        SqliteRegistry first(path);
        ASSERT_TRUE(first.IsOpen());
        HKEY key = kNullKey;
        ASSERT_EQ(first.RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Counter",
                                        KEY_SIX_SPECIFIC_RIGHTS, key),
                  ERROR_SUCCESS);
        first.RegCloseKey(key);
    }
    // Four processes each write 50 values of their own at the same time.
    constexpr int kChildren = 4;
    constexpr int kValues = 50;
    std::vector<pid_t> children;
    for (int child = 0; child < kChildren; ++child) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            SqliteRegistry store(path);
            int failures = 0;
            for (int i = 0; i < kValues; ++i) {
                HKEY key = kNullKey;
                failures += store.RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Counter",
                                                KEY_SIX_SPECIFIC_RIGHTS, key) != ERROR_SUCCESS;
                failures +=
                    SetString(store, key, "v" + std::to_string(child) + "-" + std::to_string(i),
                              std::to_string(i)) != ERROR_SUCCESS;
                store.RegCloseKey(key);
            }
            _exit(failures == 0 ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (const pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    SqliteRegistry reopened(path);
    HKEY key = kNullKey;
    ASSERT_EQ(reopened.RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Counter", KEY_READ, key),
              ERROR_SUCCESS);
    int count = 0;
    std::string name;
    std::uint32_t type = 0;
    std::vector<unsigned char> data;
    while (reopened.RegEnumValueA(key, static_cast<std::uint32_t>(count), name, type, data) ==
           ERROR_SUCCESS) {
        ++count;
    }
    EXPECT_EQ(count, kChildren * kValues);
    reopened.RegCloseKey(key);
}

TEST(SqliteRegistryFileTest, AnUnopenableStoreFailsEveryOperation) {
    orvelle::test::TempEnvironment environment;
    SqliteRegistry broken(environment.Path("no-such-folder/registry.db"));
    EXPECT_FALSE(broken.IsOpen());
    HKEY key = 7;
    EXPECT_NE(broken.RegOpenKeyExA(HKEY_CURRENT_USER, "Software", KEY_READ, key), ERROR_SUCCESS);
    EXPECT_EQ(key, kNullKey);
}

TEST(RegistryStoreCheckTest, OnlyWhatSQLiteRejectsIsDamageEverythingElseIsTrouble) {
    using State = orvelle::store::RegistryStoreState;
    orvelle::test::TempEnvironment environment;
    const std::string sound = environment.Path("sound.db");
    {
        SqliteRegistry registry(sound);
        ASSERT_TRUE(registry.IsOpen());
        ASSERT_EQ(SetString(registry, HKEY_CURRENT_USER, "Name", std::string(5000, 'x')),
                  ERROR_SUCCESS);
    }
    const std::string image = orvelle::test::ReadFile(sound);
    ASSERT_GT(image.size(), 8192U);
    struct Row {
        const char* name;
        std::string content;
        State state;
    };
    const Row rows[] = {
        {"garbage", std::string(4096, '\x5a'), State::Damaged},
        {"pages overwritten", image.substr(0, 4096) + std::string(image.size() - 4096, '\x01'),
         State::Damaged},
        {"a sound store", image, State::Sound},
        {"an empty file, which SQLite would take for a new database", "", State::Damaged},
    };
    for (const auto& row : rows) {
        const std::string path = environment.Path(std::string(row.name) + ".db");
        orvelle::test::WriteFile(path, row.content);
        const auto status = orvelle::store::InspectRegistryStore(path);
        EXPECT_EQ(status.state, row.state) << row.name << ": " << status.reason;
        EXPECT_EQ(orvelle::test::ReadFile(path), row.content) << row.name << ": only read";
    }
    EXPECT_EQ(orvelle::store::InspectRegistryStore(environment.Path("missing.db")).state,
              State::Missing)
        << "a first start is no damage";
    orvelle::test::MakeDirs(environment.Path("folder.db"));
    EXPECT_EQ(orvelle::store::InspectRegistryStore(environment.Path("folder.db")).state,
              State::Unusable);
    ASSERT_EQ(::symlink(sound.c_str(), environment.Path("link.db").c_str()), 0);
    EXPECT_EQ(orvelle::store::InspectRegistryStore(environment.Path("link.db")).state,
              State::Unusable);
    // $XDG_CONFIG_HOME set to a file: the store's folder cannot exist.
    orvelle::test::WriteFile(environment.Path("config-file"), "");
    const auto throughFile =
        orvelle::store::InspectRegistryStore(environment.Path("config-file/orvelle/registry.db"));
    EXPECT_EQ(throughFile.state, State::Unusable) << throughFile.reason;
    EXPECT_NE(throughFile.reason.find("not a folder"), std::string::npos) << throughFile.reason;

    for (const char* kept : {"folder.db", "link.db"}) {
        EXPECT_FALSE(orvelle::store::SetAsideDamagedRegistryStore(environment.Path(kept)))
            << kept << ": trouble is never moved aside";
        EXPECT_TRUE(orvelle::test::Exists(environment.Path(kept)));
    }
}

TEST(RegistryStoreCheckTest, AnEmptyStoreIsNeverTakenForANewOne) {
    orvelle::test::TempEnvironment environment;
    const std::string path = environment.Path("registry.db");
    orvelle::test::WriteFile(path, "");
    SqliteRegistry registry(path);
    EXPECT_FALSE(registry.IsOpen()) << "an empty file is a damaged store, not a new one";
    EXPECT_EQ(std::filesystem::file_size(path), 0U) << "and nothing is written into it";
    const auto damaged = orvelle::store::SetAsideDamagedRegistryStore(path);
    ASSERT_TRUE(damaged.has_value());
    EXPECT_EQ(damaged->reason, "it is empty");
    EXPECT_TRUE(orvelle::test::Exists(damaged->copy));
    EXPECT_FALSE(orvelle::test::Exists(path));
}

// The store on a small file system of its own that is then filled up, or made
// read-only: the store is trouble, never damage, and stays exactly as it was.
class StoreMountTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = environment_.Path("config/orvelle");
        store_ = folder_ + "/registry.db";
        orvelle::test::MakeDirs(folder_);
        SqliteRegistry registry(environment_.Path("image.db"));
        ASSERT_TRUE(registry.IsOpen());
        HKEY key = kNullKey;
        ASSERT_EQ(registry.RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Kept",
                                           KEY_SIX_SPECIFIC_RIGHTS, key),
                  ERROR_SUCCESS);
        ASSERT_EQ(SetString(registry, key, "Cookies", "0"), ERROR_SUCCESS);
        registry.RegCloseKey(key);
    }

    // Runs `body` with the store copied onto a fresh 1 MiB tmpfs at the store's folder.
    std::string WithStoreOnTmpfs(const std::function<std::string()>& body) {
        return orvelle::test::InPrivateMounts([&]() -> std::string {
            const std::string image = orvelle::test::ReadFile(environment_.Path("image.db"));
            if (auto error = orvelle::test::MountTmpfs(folder_, 1024); !error.empty()) {
                return error;
            }
            orvelle::test::WriteFile(store_, image);
            return body();
        });
    }

    orvelle::test::TempEnvironment environment_;
    std::string folder_;
    std::string store_;
};

std::string Describe(const orvelle::store::RegistryStoreStatus& status) {
    const char* names[] = {"missing", "sound", "damaged", "unusable"};
    return std::string(names[static_cast<int>(status.state)]) + " (" + status.reason + ")";
}

TEST_F(StoreMountTest, AFullDiskIsReportedAsSuchAndTheStoreIsKept) {
    const std::string result = WithStoreOnTmpfs([&]() -> std::string {
        const std::string image = orvelle::test::ReadFile(store_);
        if (auto error = orvelle::test::FillFileSystem(folder_); !error.empty()) {
            return error;
        }
        const auto status = orvelle::store::InspectRegistryStore(store_);
        if (status.state == orvelle::store::RegistryStoreState::Damaged) {
            return "called damaged: " + Describe(status);
        }
        if (orvelle::store::SetAsideDamagedRegistryStore(store_) ||
            orvelle::test::ReadFile(store_) != image) {
            return "the store was moved or changed";
        }
        SqliteRegistry registry(store_);
        if (registry.IsOpen()) {
            // It opened after all: then a change must fail out loud.
            HKEY key = kNullKey;
            if (registry.RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Kept", KEY_SIX_SPECIFIC_RIGHTS,
                                       key) != ERROR_SUCCESS ||
                GetString(registry, key, "Cookies") != "0") {
                return "the stored value did not read back";
            }
            if (SetString(registry, key, "Cookies", std::string(200000, '1')) == ERROR_SUCCESS) {
                return "a write on a full disk reported success";
            }
            if (registry.LastError().find("full") == std::string::npos) {
                return "the reason does not name the full disk: " + registry.LastError();
            }
        } else if (status.state != orvelle::store::RegistryStoreState::Unusable) {
            return "not opened, yet the check called it " + Describe(status);
        }
        return "ok " + Describe(status);
    });
    EXPECT_EQ(result.substr(0, 2), "ok") << result;
}

TEST_F(StoreMountTest, AStoreOnAReadOnlyMountIsTroubleNeverDamage) {
    const std::string result = WithStoreOnTmpfs([&]() -> std::string {
        {
            // A store that was used: its journal files are in place, as after any run.
            SqliteRegistry registry(store_);
            if (!registry.IsOpen()) {
                return "the store did not open before the remount";
            }
        }
        if (auto error = orvelle::test::MountReadOnly(folder_); !error.empty()) {
            return error;
        }
        const auto status = orvelle::store::InspectRegistryStore(store_);
        if (status.state == orvelle::store::RegistryStoreState::Damaged) {
            return "called damaged: " + Describe(status);
        }
        SqliteRegistry registry(store_);
        if (!registry.IsOpen()) {
            return status.state == orvelle::store::RegistryStoreState::Unusable
                       ? "ok unusable, not opened: " + registry.LastError()
                       : "the check called it " + Describe(status) + " but it did not open";
        }
        HKEY key = kNullKey;
        if (registry.RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Kept", KEY_SIX_SPECIFIC_RIGHTS,
                                   key) != ERROR_SUCCESS ||
            GetString(registry, key, "Cookies") != "0") {
            return "the stored value did not read back";
        }
        if (SetString(registry, key, "Cookies", "1") == ERROR_SUCCESS) {
            return "a write to a read-only store reported success";
        }
        if (registry.LastError().find("readonly") == std::string::npos &&
            registry.LastError().find("read-only") == std::string::npos) {
            return "the reason does not say read-only: " + registry.LastError();
        }
        return "ok " + Describe(status);
    });
    EXPECT_EQ(result.substr(0, 2), "ok") << result;
}

TEST_F(StoreMountTest, AStoreFileWithoutWriteRightsIsReadAndRefusesChangesOutLoud) {
    orvelle::test::WriteFile(store_, orvelle::test::ReadFile(environment_.Path("image.db")));
    ASSERT_EQ(::chmod(store_.c_str(), 0444), 0);
    const std::string result =
        orvelle::test::AsUnprivileged(environment_.Root(), [&]() -> std::string {
            const auto status = orvelle::store::InspectRegistryStore(store_);
            if (status.state != orvelle::store::RegistryStoreState::Sound) {
                return "the check called it " + Describe(status);
            }
            SqliteRegistry registry(store_);
            if (!registry.IsOpen()) {
                return "a readable store did not open: " + registry.LastError();
            }
            HKEY key = kNullKey;
            if (registry.RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Kept", KEY_SIX_SPECIFIC_RIGHTS,
                                       key) != ERROR_SUCCESS ||
                GetString(registry, key, "Cookies") != "0") {
                return "the stored value did not read back";
            }
            if (SetString(registry, key, "Cookies", "1") == ERROR_SUCCESS) {
                return "a write to a read-only store reported success";
            }
            if (registry.LastError().find("readonly") == std::string::npos) {
                return "the reason does not say read-only: " + registry.LastError();
            }
            return "ok";
        });
    EXPECT_EQ(result, "ok");
}

TEST(RegistryStoreCheckTest, ADamagedStoreIsMovedAsideWithItsJournalNeverDeleted) {
    orvelle::test::TempEnvironment environment;
    const std::string path = environment.Path("registry.db");
    orvelle::test::WriteFile(path, "not a database at all, but a user's only copy");
    orvelle::test::WriteFile(path + "-wal", "journal");
    const auto damaged = orvelle::store::SetAsideDamagedRegistryStore(path);
    ASSERT_TRUE(damaged.has_value());
    EXPECT_EQ(damaged->path, path);
    EXPECT_EQ(damaged->copy.rfind(path + ".damaged-", 0), 0U) << damaged->copy;
    EXPECT_EQ(orvelle::test::ReadFile(damaged->copy),
              "not a database at all, but a user's only copy");
    EXPECT_EQ(orvelle::test::ReadFile(damaged->copy + "-wal"), "journal");
    EXPECT_FALSE(orvelle::test::Exists(path));
    EXPECT_FALSE(orvelle::test::Exists(path + "-wal")) << "a new store must not replay it";
    const std::string message = orvelle::store::DamagedRegistryStoreMessage(*damaged);
    EXPECT_NE(message.find(path + " is damaged"), std::string::npos) << message;
    EXPECT_NE(message.find(damaged->copy), std::string::npos) << message;

    orvelle::test::WriteFile(path, "damaged again, in the same second");
    const auto again = orvelle::store::SetAsideDamagedRegistryStore(path);
    ASSERT_TRUE(again.has_value());
    EXPECT_NE(again->copy, damaged->copy) << "an earlier copy is never overwritten";
    EXPECT_TRUE(orvelle::test::Exists(damaged->copy));
    EXPECT_FALSE(orvelle::store::SetAsideDamagedRegistryStore(path))
        << "nothing there: nothing to do";
}
