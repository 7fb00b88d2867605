#include "browsers/BrowserTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <tuple>

namespace orvelle::browsers {
namespace {

const BaseFolders kBases{"/home/u", "/home/u/.config", "/home/u/.cache"};

bool SafeRelative(const std::string& relative) {
    if (relative.empty() || relative.front() == '/' || relative.back() == '/') {
        return false;
    }
    return relative.find("..") == std::string::npos && relative.find("//") == std::string::npos;
}

TEST(BrowserTableTest, EveryRowHasSafeRelativeRootsAndNoRootTwice) {
    std::set<std::tuple<Base, std::string>> roots;
    for (const Browser& row : AllBrowsers()) {
        EXPECT_TRUE(SafeRelative(row.profileRoot.relative)) << row.name;
        EXPECT_TRUE(SafeRelative(row.cacheRoot.relative)) << row.name;
        EXPECT_TRUE(roots.insert({row.profileRoot.base, row.profileRoot.relative}).second)
            << "two rows share " << row.profileRoot.relative;
        // A cache root that is a profile root would have a clean empty someone's profiles.
        EXPECT_NE(Resolve(row.cacheRoot, kBases), Resolve(row.profileRoot, kBases)) << row.name;
    }
}

// The roots each browser really uses on Debian and in its snap and flatpak sandboxes.
struct KnownRoot {
    const char* name;
    Family family;
    const char* profileRoot;
    const char* cacheRoot;
};

class KnownRootTest : public ::testing::TestWithParam<KnownRoot> {};

TEST_P(KnownRootTest, ResolvesToTheBrowsersOwnFolders) {
    const KnownRoot& known = GetParam();
    const auto rows = ResolveBrowsers(kBases, known.family);
    const auto found = std::find_if(rows.begin(), rows.end(), [&](const ResolvedBrowser& row) {
        return row.profileRoot == known.profileRoot;
    });
    ASSERT_NE(found, rows.end()) << known.profileRoot;
    EXPECT_STREQ(found->row->name, known.name);
    EXPECT_EQ(found->cacheRoot, known.cacheRoot);
    EXPECT_EQ(found->row->family, known.family);
}

INSTANTIATE_TEST_SUITE_P(
    Table, KnownRootTest,
    ::testing::Values(
        KnownRoot{"Firefox", Family::Firefox, "/home/u/.mozilla/firefox",
                  "/home/u/.cache/mozilla/firefox"},
        KnownRoot{"Firefox", Family::Firefox, "/home/u/.config/mozilla/firefox",
                  "/home/u/.cache/mozilla/firefox"},
        KnownRoot{"Firefox (snap)", Family::Firefox, "/home/u/snap/firefox/common/.mozilla/firefox",
                  "/home/u/snap/firefox/common/.cache/mozilla/firefox"},
        KnownRoot{"Firefox (flatpak)", Family::Firefox,
                  "/home/u/.var/app/org.mozilla.firefox/.mozilla/firefox",
                  "/home/u/.var/app/org.mozilla.firefox/cache/mozilla/firefox"},
        KnownRoot{"Chromium", Family::Chromium, "/home/u/.config/chromium",
                  "/home/u/.cache/chromium"},
        KnownRoot{"Chromium (snap)", Family::Chromium, "/home/u/snap/chromium/common/chromium",
                  "/home/u/snap/chromium/common/.cache/chromium"},
        KnownRoot{"Chromium (flatpak)", Family::Chromium,
                  "/home/u/.var/app/org.chromium.Chromium/config/chromium",
                  "/home/u/.var/app/org.chromium.Chromium/cache/chromium"},
        KnownRoot{"Google Chrome Beta", Family::Chromium, "/home/u/.config/google-chrome-beta",
                  "/home/u/.cache/google-chrome-beta"},
        KnownRoot{"Brave", Family::Chromium, "/home/u/.config/BraveSoftware/Brave-Browser",
                  "/home/u/.cache/BraveSoftware/Brave-Browser"},
        KnownRoot{"Microsoft Edge (flatpak)", Family::Chromium,
                  "/home/u/.var/app/com.microsoft.Edge/config/microsoft-edge",
                  "/home/u/.var/app/com.microsoft.Edge/cache/microsoft-edge"},
        KnownRoot{"Opera", Family::Chromium, "/home/u/.config/opera", "/home/u/.cache/opera"}));

TEST(BrowserTableTest, ResolutionKeepsTableOrderAndOneFamily) {
    const auto firefox = ResolveBrowsers(kBases, Family::Firefox);
    const auto chromium = ResolveBrowsers(kBases, Family::Chromium);
    EXPECT_EQ(firefox.size() + chromium.size(), AllBrowsers().size());
    ASSERT_FALSE(firefox.empty());
    ASSERT_FALSE(chromium.empty());
    // ~/.mozilla is tried before $XDG_CONFIG_HOME: the older home's profile comes first.
    EXPECT_EQ(firefox.front().profileRoot, "/home/u/.mozilla/firefox");
    EXPECT_EQ(chromium.front().profileRoot, "/home/u/.config/chromium");
    for (const auto& row : chromium) {
        EXPECT_EQ(row.row->family, Family::Chromium);
    }
}

TEST(BrowserTableTest, AnEmptyBaseLeavesItsRowsOut) {
    const BaseFolders noConfig{"/home/u", "", ""};
    const auto rows = ResolveBrowsers(noConfig, Family::Chromium);
    ASSERT_FALSE(rows.empty());
    for (const auto& row : rows) {
        EXPECT_EQ(row.profileRoot.rfind("/home/u/", 0), 0U) << row.profileRoot;
        EXPECT_NE(row.row->packaging, Packaging::Deb) << row.profileRoot;
    }
    EXPECT_EQ(Resolve({Base::CacheHome, "chromium"}, noConfig), "");
    EXPECT_EQ(Resolve({Base::Home, "snap/x"}, noConfig), "/home/u/snap/x");
}

}  // namespace
}  // namespace orvelle::browsers
