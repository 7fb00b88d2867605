#include "BrowserSettings.h"
#include "CleaningTestSupport.h"
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

namespace {

class BrowserSettingsTest : public ::testing::Test {
protected:
    std::string MainValue(const char* name) {
        return layer.QueryUserValue(BrowserSettings::kMainKey, name);
    }
    std::uint32_t MainValueSize(const char* name) {
        HKEY key = kNullKey;
        registry.RegOpenKeyExA(HKEY_CURRENT_USER, BrowserSettings::kMainKey, KEY_READ, key);
        std::uint32_t type = 0;
        std::uint32_t size = 0;
        registry.RegQueryValueExA(key, name, &type, nullptr, &size);
        registry.RegCloseKey(key);
        EXPECT_EQ(type, REG_SZ);
        return size;
    }

    store::SqliteRegistry registry{":memory:"};
    RegistrySettingsStore settings{registry};
    desktop::fake::FakeMessageBox messageBox;
    shell::RegistryLayer layer{registry, messageBox};
    traces::fake::FakeTraceCatalog catalog;
    BrowserSettings browser{settings, messageBox, layer, catalog};
    test::MemoryTextField txtHomePageURL;
};

TEST_F(BrowserSettingsTest, FirstStartShowsAndWritesAboutBlank) {
    browser.RestoreStartPage(txtHomePageURL);
    EXPECT_EQ(txtHomePageURL.text, "about:blank");
    EXPECT_EQ(MainValue("Start Page"), "about:blank");
    EXPECT_EQ(MainValueSize("Start Page"), 12U) << "11 characters and the zero";
    EXPECT_EQ(settings.GetSetting("Orvelle", "HomePage", "StartPage", "(none)"), "(none)")
        << "the default is not stored";
}

TEST_F(BrowserSettingsTest, EveryStartPutsBackTheStartPageTheUserSet) {
    txtHomePageURL.text = "https://start.example.org/";
    browser.cmdHomePage_Click(txtHomePageURL);
    EXPECT_EQ(MainValue("Start Page"), "https://start.example.org/");
    EXPECT_EQ(settings.GetSetting("Orvelle", "HomePage", "StartPage", ""),
              "https://start.example.org/");

    // Something else changes the browser's start page behind the program's back.
    layer.SetUserKeyValue(BrowserSettings::kMainKey, "Start Page",
                          std::string("http://hijack.example"), REG_SZ);
    test::MemoryTextField nextStart;
    browser.RestoreStartPage(nextStart);
    EXPECT_EQ(nextStart.text, "https://start.example.org/");
    EXPECT_EQ(MainValue("Start Page"), "https://start.example.org/");
}

TEST_F(BrowserSettingsTest, AnEmptyHomePageIsKeptAndWrittenAgainAtTheNextStart) {
    txtHomePageURL.text = "";
    browser.cmdHomePage_Click(txtHomePageURL);
    EXPECT_EQ(MainValue("Start Page"), "");
    EXPECT_EQ(MainValueSize("Start Page"), 1U);
    test::MemoryTextField nextStart;
    nextStart.text = "left over";
    browser.RestoreStartPage(nextStart);
    EXPECT_EQ(nextStart.text, "") << "a stored empty text is not replaced by the default";
    EXPECT_EQ(MainValue("Start Page"), "");
}

TEST_F(BrowserSettingsTest, WithoutTheBrowserKeyNothingIsWrittenAndNothingShown) {
    ASSERT_EQ(registry.RegDeleteTreeA(HKEY_CURRENT_USER, BrowserSettings::kMainKey), ERROR_SUCCESS);
    browser.DisableScriptDebugger();
    browser.DisableScriptDebuggerX();
    txtHomePageURL.text = "about:blank";
    browser.cmdHomePage_Click(txtHomePageURL);
    HKEY key = kNullKey;
    EXPECT_NE(registry.RegOpenKeyExA(HKEY_CURRENT_USER, BrowserSettings::kMainKey, KEY_READ, key),
              ERROR_SUCCESS);
    EXPECT_TRUE(messageBox.shown.empty());
    EXPECT_EQ(settings.GetSetting("Orvelle", "HomePage", "StartPage", ""), "about:blank")
        << "the program's own copy is stored all the same";
}

}  // namespace

namespace {

TraceItem StartPageItem(const std::string& path) {
    TraceItem item;
    item.option = kSettingStartPage;
    item.path = path;
    return item;
}

}  // namespace

TEST_F(BrowserSettingsTest, RealBrowsersGetTheStartPageOnlyOnceTheUserStoredOne) {
    catalog.findings[kSettingStartPage] = {
        {StartPageItem("/f/user.js"), StartPageItem("/c/Preferences")}, {}};
    browser.RestoreStartPage(txtHomePageURL);
    EXPECT_TRUE(catalog.applied.empty()) << "a first start changes no browser";

    txtHomePageURL.text = "https://home.example/";
    browser.cmdHomePage_Click(txtHomePageURL);
    ASSERT_EQ(catalog.applied.size(), 2U);
    EXPECT_EQ(catalog.applied[0].value, "https://home.example/");
    EXPECT_TRUE(messageBox.shown.empty());

    // Every later start writes the stored page again, and a failure stops no start.
    catalog.applied.clear();
    catalog.failures["/c/Preferences"] = "Not changed: \"/c/Preferences\" is not valid JSON";
    test::MemoryTextField nextStart;
    browser.RestoreStartPage(nextStart);
    ASSERT_EQ(catalog.applied.size(), 2U);
    EXPECT_EQ(catalog.applied[1].value, "https://home.example/");
    EXPECT_TRUE(messageBox.shown.empty());
}

TEST_F(BrowserSettingsTest, SetHomePageNamesEveryProfileItCouldNotChange) {
    catalog.findings[kSettingStartPage] = {
        {StartPageItem("/c/Preferences")},
        {{kSettingStartPage, "Chromium", "Default", "/c", "in use by process 7"}}};
    catalog.failures["/c/Preferences"] = "Not changed: \"/c/Preferences\" is not valid JSON";
    txtHomePageURL.text = "https://home.example/";
    browser.cmdHomePage_Click(txtHomePageURL);
    EXPECT_EQ(MainValue("Start Page"), "https://home.example/") << "the registry value as before";
    ASSERT_EQ(messageBox.shown.size(), 1U);
    EXPECT_THAT(messageBox.shown[0].text,
                testing::AllOf(testing::HasSubstr("Chromium profile \"Default\" (/c) is in use"),
                               testing::HasSubstr("/c/Preferences\" is not valid JSON")));
}
