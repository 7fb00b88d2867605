#include "CleaningOptions.h"
#include "FakeDesktop.h"
#include "FakeOs.h"
#include "FakeStore.h"
#include "FakeTraceCatalog.h"
#include "RegistryLayer.h"
#include "RegistrySettingsStore.h"
#include "SqliteRegistry.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace orvelle;
using namespace orvelle::cleaning;
using namespace orvelle::store;
using namespace orvelle::desktop;
using namespace orvelle::traces;
using testing::ElementsAre;
using testing::HasSubstr;
using testing::IsEmpty;
using traces::TraceItem;

namespace {

// The real store underneath, with a record of every write.
class RecordingSettings final : public ISettingsStore {
public:
    explicit RecordingSettings(ISettingsStore& inner) : inner_(inner) {}
    std::string GetSetting(const std::string& application, const std::string& section,
                           const std::string& key, const std::string& defaultValue) override {
        return inner_.GetSetting(application, section, key, defaultValue);
    }
    void SaveSetting(const std::string& application, const std::string& section,
                     const std::string& key, const std::string& value) override {
        saves.push_back(application + "|" + section + "|" + key + "=" + value);
        inner_.SaveSetting(application, section, key, value);
    }
    std::vector<std::string> saves;

private:
    ISettingsStore& inner_;
};

constexpr const char* kFolder = "/opt/orvelle";

class CleaningOptionsTest : public ::testing::Test {
protected:
    // The load step's part: defaults, stored values, the auto-suggest box, ready.
    void Start(CleaningOptions& target) {
        target.bSettingsReady = false;
        target.cmdDefaultSettings_Click();
        target.LoadCleaningOptions();
        target.LoadWebAddressBox();
        target.bSettingsReady = true;
    }
    std::vector<int> Values(const CleaningOptions& target) {
        std::vector<int> values;
        for (int index = 0; index < CleaningOptions::kCount; ++index) {
            values.push_back(target.Value(index));
        }
        return values;
    }
    std::string AutoSuggest() {
        return layer.QueryUserValue(CleaningOptions::kAutoCompleteKey, "AutoSuggest");
    }

    store::SqliteRegistry registry{":memory:"};
    RegistrySettingsStore store{registry};
    RecordingSettings settings{store};
    desktop::fake::FakeMessageBox messageBox;
    shell::RegistryLayer layer{registry, messageBox};
    traces::fake::FakeTraceCatalog catalog;
    CleaningOptions options{settings, messageBox, layer, kFolder, catalog};
};

TEST_F(CleaningOptionsTest, FirstStartGivesTheDefaultsAndStoresNothing) {
    std::vector<std::pair<int, int>> changes;
    options.SetOnValueChanged([&](int index, int value) { changes.emplace_back(index, value); });
    Start(options);
    EXPECT_THAT(Values(options), ElementsAre(1, 1, 1, 1, 0, 1, 0, 1, 0, 1, 1, 1, 0, 0, 0, 0));
    EXPECT_THAT(settings.saves, IsEmpty());
    EXPECT_TRUE(messageBox.shown.empty());
    // The view hears of every change, in the order of the default button.
    EXPECT_THAT(changes,
                ElementsAre(std::pair{2, 1}, std::pair{7, 1}, std::pair{9, 1}, std::pair{10, 1},
                            std::pair{1, 1}, std::pair{0, 1}, std::pair{3, 1}, std::pair{5, 1},
                            std::pair{11, 1}, std::pair{CleaningOptions::kWebAddress, 1}));
    EXPECT_EQ(AutoSuggest(), "no") << "checking the box writes the browser setting";
}

TEST_F(CleaningOptionsTest, StoredValuesWinOverTheDefaultsAndAbsentOnesKeepThem) {
    store.SaveSetting(kFolder, "Settings", "Index2", "0");
    store.SaveSetting(kFolder, "Settings", "Index12", "1");
    store.SaveSetting(kFolder, "Settings", "Index6", "2");
    store.SaveSetting(kFolder, "Settings", "Index9", "3");  // the absent marker
    store.SaveSetting("/elsewhere", "Settings", "Index4", "1");
    Start(options);
    EXPECT_THAT(Values(options), ElementsAre(1, 1, 0, 1, 0, 1, 2, 1, 0, 1, 1, 1, 1, 0, 0, 0));
    EXPECT_THAT(settings.saves, IsEmpty()) << "restoring writes nothing back";
}

TEST_F(CleaningOptionsTest, ADamagedValueShowsTheErrorBoxAndTheOtherIndexesStillLoad) {
    store.SaveSetting(kFolder, "Settings", "Index3", "cleanme");
    store.SaveSetting(kFolder, "Settings", "Index6", "7");
    store.SaveSetting(kFolder, "Settings", "Index4", "1");
    store.SaveSetting(kFolder, "Settings", "Index13", "1");
    Start(options);
    ASSERT_EQ(messageBox.shown.size(), 2U);
    EXPECT_THAT(messageBox.shown[0].text, HasSubstr("Error: 13 - Type mismatch"));
    EXPECT_THAT(messageBox.shown[0].text, HasSubstr("Settings\\Index3 holds \"cleanme\""));
    EXPECT_THAT(messageBox.shown[1].text, HasSubstr("Error: 380 - Invalid property value"));
    EXPECT_THAT(messageBox.shown[1].text, HasSubstr("Settings\\Index6"));
    EXPECT_EQ(options.Value(3), 1) << "the damaged index keeps its default";
    EXPECT_EQ(options.Value(6), 0);
    EXPECT_EQ(options.Value(4), 1) << "an index after the damaged one still loads";
    EXPECT_EQ(options.Value(13), 1);
    EXPECT_THAT(settings.saves, IsEmpty());
}

TEST_F(CleaningOptionsTest, OnceReadyEveryChangeIsStoredUnderTheProgramFolderOnlyWhenItChanges) {
    Start(options);
    EXPECT_TRUE(options.SetValue(12, 1));
    EXPECT_TRUE(options.SetValue(12, 1));  // no change, no click
    EXPECT_TRUE(options.SetValue(3, 2));
    EXPECT_FALSE(options.SetValue(3, 5));
    EXPECT_FALSE(options.SetValue(16, 1));
    EXPECT_THAT(settings.saves,
                ElementsAre("/opt/orvelle|Settings|Index12=1", "/opt/orvelle|Settings|Index3=2"));

    // Another program folder starts from the defaults with a set of its own.
    CleaningOptions moved(settings, messageBox, layer, "/usr/local/orvelle", catalog);
    Start(moved);
    EXPECT_EQ(moved.Value(12), 0);
    EXPECT_EQ(moved.Value(3), 1);
    CleaningOptions again(settings, messageBox, layer, kFolder, catalog);
    Start(again);
    EXPECT_EQ(again.Value(12), 1);
    EXPECT_EQ(again.Value(3), 2);
}

TEST_F(CleaningOptionsTest, DefaultButtonsStoreOnlyTheBoxesTheyChange) {
    Start(options);
    options.SetValue(2, 0);
    options.SetValue(3, 0);
    options.SetValue(6, 1);
    options.SetValue(14, 1);
    settings.saves.clear();

    // The Clean Computer default leaves 2 (a Clean Internet box) alone but re-checks 3.
    options.cmdDefaultSettings1_Click();
    EXPECT_EQ(options.Value(2), 0);
    EXPECT_EQ(options.Value(3), 1);
    EXPECT_EQ(options.Value(6), 1);
    EXPECT_THAT(settings.saves, ElementsAre("/opt/orvelle|Settings|Index3=1"));

    settings.saves.clear();
    options.cmdDefaultSettings_Click();
    EXPECT_THAT(settings.saves,
                ElementsAre("/opt/orvelle|Settings|Index2=1", "/opt/orvelle|Settings|Index6=0"));
    EXPECT_EQ(options.Value(14), 1) << "neither default touches 12 to 15";
}

struct AutoSuggestCase {
    const char* name;
    std::optional<std::string> stored;  // nullopt: no value
    int expectedBox;
    const char* expectedValueAfterStart;
};

class AutoSuggestTest : public CleaningOptionsTest,
                        public ::testing::WithParamInterface<AutoSuggestCase> {};

TEST_P(AutoSuggestTest, TheBoxStartsFromTheBrowserSetting) {
    const AutoSuggestCase& row = GetParam();
    if (row.stored) {
        layer.SetUserKeyValue(CleaningOptions::kAutoCompleteKey, "AutoSuggest", *row.stored,
                              REG_SZ);
    }
    Start(options);
    EXPECT_EQ(options.WebAddressValue(), row.expectedBox);
    EXPECT_EQ(AutoSuggest(), row.expectedValueAfterStart);
    EXPECT_THAT(settings.saves, IsEmpty()) << "the box is not a stored option";
}

INSTANTIATE_TEST_SUITE_P(
    Rows, AutoSuggestTest,
    ::testing::Values(AutoSuggestCase{"YesClearsTheBoxAndWritesNothing", "yes", 0, "yes"},
                      AutoSuggestCase{"NoChecksIt", "no", 1, "no"},
                      AutoSuggestCase{"OtherCaseIsNotYes", "YES", 1, "no"},
                      AutoSuggestCase{"NoValueChecksItAndWritesNo", std::nullopt, 1, "no"}),
    [](const auto& rowInfo) { return std::string(rowInfo.param.name); });

TEST_F(CleaningOptionsTest, ClickingTheAutoSuggestBoxWritesYesWhenClearedAndNoWhenChecked) {
    Start(options);
    options.SetWebAddressValue(0);
    EXPECT_EQ(AutoSuggest(), "yes");
    options.SetWebAddressValue(2);
    EXPECT_EQ(AutoSuggest(), "no") << "grayed counts as checked";

    // Without the key nothing is written and nothing is shown.
    ASSERT_EQ(registry.RegDeleteKeyA(HKEY_CURRENT_USER, CleaningOptions::kAutoCompleteKey),
              ERROR_SUCCESS);
    options.SetWebAddressValue(0);
    HKEY key = kNullKey;
    EXPECT_NE(
        registry.RegOpenKeyExA(HKEY_CURRENT_USER, CleaningOptions::kAutoCompleteKey, KEY_READ, key),
        ERROR_SUCCESS);
    EXPECT_TRUE(messageBox.shown.empty());
}

}  // namespace

TEST_F(CleaningOptionsTest, OnlyAClickOnceReadySwitchesTheBrowsersAddressAutoFill) {
    TraceItem userJs;
    userJs.option = kSettingAutoFill;
    userJs.path = "/f/user.js";
    catalog.findings[kSettingAutoFill] = {{userJs}, {}};
    Start(options);  // checks the box and writes "no", but changes no browser
    EXPECT_THAT(catalog.applied, IsEmpty());

    options.SetWebAddressValue(0);
    options.SetWebAddressValue(1);
    ASSERT_EQ(catalog.applied.size(), 2U);
    EXPECT_EQ(catalog.applied[0].value, "true") << "a cleared box lets Firefox fill addresses";
    EXPECT_EQ(catalog.applied[1].value, "false");

    catalog.failures["/f/user.js"] = "Not changed: \"/f/user.js\": Permission denied";
    options.SetWebAddressValue(0);
    EXPECT_EQ(AutoSuggest(), "yes");
    ASSERT_EQ(messageBox.shown.size(), 1U);
    EXPECT_THAT(messageBox.shown[0].text, HasSubstr("/f/user.js\": Permission denied"));
}
