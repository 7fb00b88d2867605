// Finding browsers: the port file and the profile folders looked in.

#include "BrowserProfileFolders.h"
#include "DevToolsActivePort.h"
#include "SqliteRegistry.h"
#include "TempEnvironment.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

using namespace orvelle;
using namespace orvelle::store;
using namespace orvelle::browsers;
using browsers::devtools::DevToolsEndpoint;

TEST(DevToolsActivePortTest, ReadsThePortAndTheBrowsersPath) {
    const struct {
        const char* what;
        std::string content;
        std::optional<DevToolsEndpoint> endpoint;
    } rows[] = {
        {"as the browser writes it", "9222\n/devtools/browser/2f1c-44ab-90\n",
         DevToolsEndpoint{9222, "/devtools/browser/2f1c-44ab-90"}},
        {"without the last line end", "40001\n/devtools/browser/abc",
         DevToolsEndpoint{40001, "/devtools/browser/abc"}},
        {"with CR LF", "1\r\n/devtools/browser/abc\r\n",
         DevToolsEndpoint{1, "/devtools/browser/abc"}},
        {"the highest port", "65535\n/devtools/browser/x\n",
         DevToolsEndpoint{65535, "/devtools/browser/x"}},
        {"empty", "", std::nullopt},
        {"the port alone", "9222\n", std::nullopt},
        {"port 0", "0\n/devtools/browser/abc\n", std::nullopt},
        {"a port too high", "65536\n/devtools/browser/abc\n", std::nullopt},
        {"a huge port", "99999999999999999999\n/devtools/browser/abc\n", std::nullopt},
        {"a negative port", "-1\n/devtools/browser/abc\n", std::nullopt},
        {"a port with text", "92a2\n/devtools/browser/abc\n", std::nullopt},
        {"a page's path, not the browser's", "9222\n/devtools/page/abc\n", std::nullopt},
        {"a path without an id", "9222\n/devtools/browser/\n", std::nullopt},
        {"a path leaving the endpoint", "9222\n/devtools/browser/../../x\n", std::nullopt},
        {"another host smuggled in", "9222\n/devtools/browser/a@evil.example\n", std::nullopt},
        {"a third line", "9222\n/devtools/browser/abc\nmore\n", std::nullopt},
        {"binary rubbish", std::string("\x00\xff\n\x01", 4), std::nullopt},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(browsers::devtools::ParseDevToolsActivePort(row.content), row.endpoint)
            << row.what;
    }
    EXPECT_EQ(browsers::devtools::ParseDevToolsActivePort(std::string(5000, '1')), std::nullopt);
}

TEST(DevToolsActivePortTest, TheEndpointIsAlwaysOnLoopback) {
    const DevToolsEndpoint endpoint{9222, "/devtools/browser/abc"};
    EXPECT_EQ(endpoint.WebSocketUrl(), "ws://127.0.0.1:9222/devtools/browser/abc");
}

TEST(BrowserProfileFoldersTest, UsualFoldersOwnFoldersAndListedOnesEachOnce) {
    test::TempEnvironment environment;
    const std::string home = environment.Path("home");
    const std::string config = environment.Path("config");
    test::MakeDirs(config + "/orvelle/browsers/chromium");
    test::MakeDirs(config + "/orvelle/browsers/brave");
    test::WriteFile(config + "/orvelle/browsers/not-a-folder", "x");

    store::SqliteRegistry registry(":memory:");
    HKEY key = kNullKey;
    ASSERT_EQ(
        registry.RegCreateKeyExA(HKEY_CURRENT_USER, browsers::kProfileFoldersKey, KEY_WRITE, key),
        ERROR_SUCCESS);
    const RegistryKey closer(registry, key);
    const auto set = [&](const std::string& name, std::uint32_t type, const std::string& data) {
        ASSERT_EQ(registry.RegSetValueExA(key, name, type,
                                          reinterpret_cast<const unsigned char*>(data.c_str()),
                                          static_cast<std::uint32_t>(data.size() + 1)),
                  ERROR_SUCCESS);
    };
    set("work", REG_SZ, "/srv/profiles/work-chrome/");
    set("tilde", REG_EXPAND_SZ, "~/browsers/testing");
    set("relative", REG_SZ, "profiles/relative");
    set("empty", REG_SZ, "");
    set("twice", REG_SZ, config + "/chromium");
    const std::uint32_t number = 7;
    ASSERT_EQ(registry.RegSetValueExA(key, "number", REG_DWORD,
                                      reinterpret_cast<const unsigned char*>(&number), 4),
              ERROR_SUCCESS);

    const auto listed = browsers::ListedProfileFolders(registry, home);
    EXPECT_EQ(listed, (std::vector<std::string>{home + "/browsers/testing", config + "/chromium",
                                                "/srv/profiles/work-chrome"}))
        << "by value name, ~ expanded, no trailing slash; relative, empty and numbers ignored";

    const auto folders = browsers::BrowserProfileFolders(registry, home, config);
    for (const std::string& expected :
         {config + "/chromium", config + "/google-chrome", config + "/BraveSoftware/Brave-Browser",
          config + "/microsoft-edge", config + "/vivaldi", home + "/snap/chromium/common/chromium",
          config + "/orvelle/browsers/brave", config + "/orvelle/browsers/chromium",
          std::string("/srv/profiles/work-chrome"), home + "/browsers/testing"}) {
        EXPECT_EQ(std::count(folders.begin(), folders.end(), expected), 1) << expected;
    }
    EXPECT_EQ(std::count(folders.begin(), folders.end(), config + "/orvelle/browsers/not-a-folder"),
              0);
}

TEST(BrowserProfileFoldersTest, WithoutTheRegistryKeyOnlyTheUsualFoldersAreLookedIn) {
    store::SqliteRegistry registry(":memory:");
    EXPECT_TRUE(browsers::ListedProfileFolders(registry, "/home/u").empty());
    const auto folders = browsers::BrowserProfileFolders(registry, "/home/u", "/home/u/.config");
    EXPECT_FALSE(folders.empty());
    for (const auto& folder : folders) {
        EXPECT_EQ(folder.rfind("/home/u/", 0), 0U) << folder;
    }
}
