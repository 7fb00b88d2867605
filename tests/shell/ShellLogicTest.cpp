#include "ErrorBox.h"
#include "FakeDesktop.h"
#include "FakeOs.h"
#include "FakeStore.h"
#include "RegistryLayer.h"
#include "Settings.h"
#include "SqliteRegistry.h"
#include "StartProgram.h"
#include "StartupEntry.h"
#include "VbConvert.h"
#include "Version.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace orvelle;
using namespace orvelle::os;
using namespace orvelle::store;
using namespace orvelle::desktop;
using orvelle::desktop::fake::FakeMessageBox;

TEST(VersionTest, VersionTextWritesTheMinorNumberWithOneDigit) {
    EXPECT_EQ(shell::VersionText(), "Orvelle v2.1");
    EXPECT_EQ(shell::ApplicationTitle(), "Orvelle");
}

TEST(VbConvertTest, ConvertsLikeTheRunTime) {
    struct Row {
        const char* text;
        std::int32_t value;
    };
    const Row rows[] = {{"0", 0},     {"1", 1},     {" 2 ", 2},    {"-7", -7},
                        {"+3", 3},    {"2.5", 2},   {"3.5", 4},    {"-2.5", -2},
                        {"1e2", 100}, {"&H10", 16}, {"&hFF", 255}, {"&O17", 15},
                        {"True", -1}, {"false", 0}, {"02", 2},     {"&HFFFFFFFF", -1}};
    for (const auto& row : rows) {
        EXPECT_EQ(shell::ToInt32(row.text), row.value) << row.text;
    }
    for (const char* bad : {"", "  ", "abc", "1a", "1.2.3", "&", "&H", "&HG", "e5", "--1"}) {
        try {
            static_cast<void>(shell::ToInt32(bad));
            ADD_FAILURE() << "no error for \"" << bad << "\"";
        } catch (const RuntimeError& error) {
            EXPECT_EQ(error.Number(), 13) << bad;
            EXPECT_EQ(error.Description(), "Type mismatch");
        }
    }
    for (const char* big : {"2147483648", "-2147483649", "1e20"}) {
        try {
            static_cast<void>(shell::ToInt32(big));
            ADD_FAILURE() << "no overflow for " << big;
        } catch (const RuntimeError& error) {
            EXPECT_EQ(error.Number(), 6) << big;
        }
    }
    EXPECT_THROW(static_cast<void>(shell::ToInt16("40000")), RuntimeError);
    EXPECT_EQ(shell::ToInt16("-32768"), -32768);
}

TEST(ErrorBoxTest, ShowsNumberAndDescriptionWithTheApplicationTitleAndNoIcon) {
    FakeMessageBox box;
    const bool ran = shell::RunTrapped(box, [] { throw RuntimeError(53, "File not found"); });
    EXPECT_FALSE(ran);
    ASSERT_EQ(box.shown.size(), 1U);
    EXPECT_EQ(box.shown[0].text, "Error: 53 - File not found");
    EXPECT_EQ(box.shown[0].title, "Orvelle");
    EXPECT_EQ(box.shown[0].icon, MessageIcon::None);
    EXPECT_TRUE(shell::RunTrapped(box, [] {}));
    EXPECT_EQ(box.shown.size(), 1U);
}

class RegistryLayerTest : public ::testing::Test {
protected:
    store::SqliteRegistry registry{":memory:"};
    FakeMessageBox box;
    shell::RegistryLayer layer{registry, box};

    static constexpr const char* kMain = "Software\\Microsoft\\Internet Explorer\\Main";

    std::uint32_t StoredSize(HKEY hive, const std::string& path, const std::string& name,
                             std::uint32_t* type = nullptr) {
        HKEY key = kNullKey;
        if (registry.RegOpenKeyExA(hive, path, KEY_READ, key) != ERROR_SUCCESS) {
            return 0xFFFFFFFF;
        }
        std::uint32_t size = 0;
        const LSTATUS status = registry.RegQueryValueExA(key, name, type, nullptr, &size);
        registry.RegCloseKey(key);
        return status == ERROR_SUCCESS ? size : 0xFFFFFFFF;
    }
};

TEST_F(RegistryLayerTest, TextIsStoredWithItsTerminatingZeroAndReadBackWithout) {
    layer.SetUserKeyValue(kMain, "Start Page", std::string("about:blank"), REG_SZ);
    std::uint32_t type = 0;
    EXPECT_EQ(StoredSize(HKEY_CURRENT_USER, kMain, "Start Page", &type), 12U);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(layer.QueryUserValue(kMain, "Start Page"), "about:blank");

    layer.SetUserKeyValue(kMain, "Empty", std::string(), REG_SZ);
    EXPECT_EQ(StoredSize(HKEY_CURRENT_USER, kMain, "Empty"), 1U);
    EXPECT_EQ(layer.QueryUserValue(kMain, "Empty"), "");
    EXPECT_TRUE(box.shown.empty());
}

TEST_F(RegistryLayerTest, NumbersAreFourBytesAndReadAsDecimalText) {
    layer.SetHiveKeyValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes", "Count", std::string("-42"),
                          REG_DWORD);
    std::uint32_t type = 0;
    EXPECT_EQ(StoredSize(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes", "Count", &type), 4U);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(layer.QueryMachineValue("SOFTWARE\\Classes", "Count"), "-42");
}

TEST_F(RegistryLayerTest, TextThatIsNoNumberShowsTheErrorBoxAndWritesNothing) {
    layer.SetUserKeyValue(kMain, "Bad", std::string("twelve"), REG_DWORD);
    ASSERT_EQ(box.shown.size(), 1U);
    EXPECT_EQ(box.shown[0].text, "Error: 13 - Type mismatch");
    EXPECT_EQ(StoredSize(HKEY_CURRENT_USER, kMain, "Bad"), 0xFFFFFFFF);
}

TEST_F(RegistryLayerTest, OtherTypesWriteNothingAndReadAsEmpty) {
    HKEY key = kNullKey;
    ASSERT_EQ(registry.RegOpenKeyExA(HKEY_CURRENT_USER, kMain, KEY_SIX_SPECIFIC_RIGHTS, key),
              ERROR_SUCCESS);
    EXPECT_EQ(layer.SetValueEx(key, "Binary", REG_BINARY, std::string("x")), ERROR_SUCCESS);
    EXPECT_EQ(StoredSize(HKEY_CURRENT_USER, kMain, "Binary"), 0xFFFFFFFF);

    const unsigned char multi[] = {'a', 0, 'b', 0, 0};
    ASSERT_EQ(registry.RegSetValueExA(key, "Multi", REG_MULTI_SZ, multi, sizeof multi),
              ERROR_SUCCESS);
    shell::RegValue value = std::string("unchanged");
    EXPECT_EQ(layer.QueryValueEx(key, "Multi", value), -1);
    EXPECT_EQ(std::get<std::string>(value), "unchanged");
    EXPECT_EQ(layer.QueryUserValue(kMain, "Multi"), "");
    registry.RegCloseKey(key);
}

TEST_F(RegistryLayerTest, AMissingKeyIsNeverCreatedAndNothingIsShown) {
    layer.SetUserKeyValue("Software\\Nowhere", "Start Page", std::string("x"), REG_SZ);
    HKEY key = kNullKey;
    EXPECT_EQ(registry.RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Nowhere", KEY_READ, key),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(layer.QueryMachineValue("SOFTWARE\\Classes\\kdf_auto_file", ""), "");
    EXPECT_TRUE(box.shown.empty());

    shell::RegValue value = std::int32_t{5};
    EXPECT_EQ(layer.QueryValueEx(kNullKey, "x", value), ERROR_INVALID_HANDLE);
    EXPECT_EQ(std::get<std::int32_t>(value), 5) << "a failed size query leaves the value alone";
}

TEST_F(RegistryLayerTest, AStoreThatRefusesWritesLosesTheValueSilently) {
    store::fake::FailingRegistry failing(registry);
    failing.failAllWrites = true;
    shell::RegistryLayer refusing(failing, box);
    refusing.SetUserKeyValue(kMain, "Start Page", std::string("x"), REG_SZ);
    EXPECT_TRUE(box.shown.empty());
    EXPECT_EQ(layer.QueryUserValue(kMain, "Start Page"), "");
}

TEST(StartProgramTest, ASecondCopyShowsTheMessageAndDoesNothingElse) {
    os::fake::FakeInstanceLock lock(true);
    FakeMessageBox box;
    store::fake::FakeProfileFile profile;
    os::fake::FakeProcessInfo process("/opt/orvelle", "orvelle");
    bool shown = false;
    EXPECT_FALSE(shell::StartProgram(lock, box, profile, process, [&] { shown = true; }));
    ASSERT_EQ(box.shown.size(), 1U);
    EXPECT_EQ(box.shown[0].text, "Orvelle v2.1 already running.");
    EXPECT_EQ(box.shown[0].title, "Orvelle");
    EXPECT_EQ(box.shown[0].icon, MessageIcon::Information);
    EXPECT_FALSE(shown);
    EXPECT_EQ(profile.writes, 0) << "nothing is written by a refused copy";
}

// A second copy opened on a file hands it to the running copy and ends silently;
// when the running copy cannot be reached, it says so as any second copy does.
TEST(StartProgramTest, ASecondCopyWithAFileHandsItOverWithoutTheMessage) {
    os::fake::FakeProcessInfo process("/opt/orvelle", "orvelle");
    for (const bool reached : {true, false}) {
        os::fake::FakeInstanceLock lock(true);
        FakeMessageBox box;
        store::fake::FakeProfileFile profile;
        int handedOver = 0;
        bool shown = false;
        EXPECT_FALSE(shell::StartProgram(
            lock, box, profile, process, [&] { shown = true; },
            [&] {
                ++handedOver;
                return reached;
            }));
        EXPECT_EQ(handedOver, 1);
        EXPECT_EQ(box.shown.size(), reached ? 0U : 1U);
        EXPECT_FALSE(shown);
        EXPECT_EQ(profile.writes, 0);
    }
    // The first copy never hands over.
    os::fake::FakeInstanceLock lock(false);
    FakeMessageBox box;
    store::fake::FakeProfileFile profile;
    int handedOver = 0;
    EXPECT_TRUE(shell::StartProgram(
        lock, box, profile, process, [] {},
        [&] {
            ++handedOver;
            return true;
        }));
    EXPECT_EQ(handedOver, 0);
}

TEST(StartProgramTest, TheExtensionEntryIsWrittenOnceAndNeverRewritten) {
    os::fake::FakeInstanceLock lock(false);
    FakeMessageBox box;
    store::fake::FakeProfileFile profile;
    os::fake::FakeProcessInfo process("/opt/orvelle", "orvelle");
    int shown = 0;
    EXPECT_TRUE(shell::StartProgram(lock, box, profile, process, [&] { ++shown; }));
    EXPECT_EQ(shown, 1);
    std::string text;
    profile.GetPrivateProfileStringA("extensions", "kdf", "", text, 255);
    EXPECT_EQ(text, "/opt/orvelle/orvelle ^.KDF");
    EXPECT_EQ(profile.writes, 1);

    process.folder = "/moved/elsewhere";
    EXPECT_TRUE(shell::StartProgram(lock, box, profile, process, [&] { ++shown; }));
    EXPECT_EQ(profile.writes, 1) << "an existing entry is left alone, even when out of date";

    profile.entries[{"extensions", "kdf"}] = "wrong";
    EXPECT_FALSE(shell::EnsureKdfProfileEntry(profile, "/x/orvelle"));
    EXPECT_TRUE(box.shown.empty());
}

TEST(StartProgramTest, AFailedWriteIsTriedAgainAtTheNextStart) {
    store::fake::FakeProfileFile profile;
    profile.failWrites = true;
    EXPECT_FALSE(shell::EnsureKdfProfileEntry(profile, "/opt/orvelle/orvelle"));
    profile.failWrites = false;
    EXPECT_TRUE(shell::EnsureKdfProfileEntry(profile, "/opt/orvelle/orvelle"));
}

TEST(StartupEntryTest, WritesTheRunValueWithItsZeroAndTheDesktopEntryOrRemovesBoth) {
    store::SqliteRegistry registry(":memory:");
    os::fake::FakeStartupList list;
    shell::SetRunAtStartup(registry, list, "/opt/orvelle/orvelle", true);
    EXPECT_EQ(list.entries.at("Orvelle"), "/opt/orvelle/orvelle");
    HKEY key = kNullKey;
    ASSERT_EQ(registry.RegOpenKeyExA(HKEY_CURRENT_USER, shell::kRunKey, KEY_READ, key),
              ERROR_SUCCESS);
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    ASSERT_EQ(registry.RegQueryValueExA(key, "Orvelle", &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, std::strlen("/opt/orvelle/orvelle") + 1);

    shell::SetRunAtStartup(registry, list, "/opt/orvelle/orvelle", false);
    EXPECT_TRUE(list.entries.empty());
    EXPECT_EQ(registry.RegQueryValueExA(key, "Orvelle", &type, nullptr, &size),
              ERROR_FILE_NOT_FOUND);
    shell::SetRunAtStartup(registry, list, "/opt/orvelle/orvelle",
                           false);  // nothing to delete: fine
    registry.RegCloseKey(key);
}

TEST(StartupEntryTest, AMissingRunKeyStillKeepsTheDesktopEntryInStep) {
    store::SqliteRegistry registry(":memory:");
    ASSERT_EQ(registry.RegDeleteTreeA(HKEY_CURRENT_USER, shell::kRunKey), ERROR_SUCCESS);
    os::fake::FakeStartupList list;
    shell::SetRunAtStartup(registry, list, "/opt/orvelle/orvelle", true);
    EXPECT_EQ(list.entries.count("Orvelle"), 1U);
    HKEY key = kNullKey;
    EXPECT_EQ(registry.RegOpenKeyExA(HKEY_CURRENT_USER, shell::kRunKey, KEY_READ, key),
              ERROR_FILE_NOT_FOUND)
        << "the key is not created";
}

TEST(SettingsTest, ADamagedNumberIsReportedAndTheFallbackUsed) {
    desktop::fake::FakeMessageBox box;
    class Store final : public ISettingsStore {
    public:
        std::string GetSetting(const std::string&, const std::string&, const std::string&,
                               const std::string& def) override {
            return text.empty() ? def : text;
        }
        void SaveSetting(const std::string&, const std::string&, const std::string&,
                         const std::string&) override {}
        std::string text;
    } store;
    EXPECT_EQ(
        shell::settings::ReadNumberSetting(store, box, "Orvelle", "Options", "StartUp", "0", 0), 0);
    store.text = " 1 ";
    EXPECT_EQ(
        shell::settings::ReadNumberSetting(store, box, "Orvelle", "Options", "StartUp", "0", 0), 1);
    EXPECT_TRUE(box.shown.empty());
    store.text = "yes";
    EXPECT_EQ(
        shell::settings::ReadNumberSetting(store, box, "Orvelle", "Options", "StartUp", "0", 0), 0);
    ASSERT_EQ(box.shown.size(), 1U);
    EXPECT_EQ(box.shown[0].text,
              "Error: 13 - Type mismatch: the setting Options\\StartUp holds \"yes\"; the default "
              "is used");
}
