// The tabs of the connected browsers, as their messages change them.

#include "BrowserReach.h"
#include "ExtensionTabs.h"
#include "TempEnvironment.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace orvelle::os;
using namespace orvelle::browsers;
using namespace orvelle::browsers::extension;
using Effect = ExtensionTabs::Effect;
using nlohmann::json;

namespace {

// Records what a window tells its receivers.
class Recorder final : public IBrowserEvents {
public:
    void BeforeNavigate2(const BrowserDispatch&, const std::string&, std::int32_t,
                         const std::string&, const std::string&, const std::string&,
                         bool&) override {}
    void NavigateComplete2(const BrowserDispatch& pDisp, const std::string& url) override {
        lines.push_back("NavigateComplete2 " + Top(pDisp) + url);
    }
    void DocumentComplete(const BrowserDispatch& pDisp, const std::string& url) override {
        lines.push_back("DocumentComplete " + Top(pDisp) + url);
    }
    void DownloadBegin() override {}
    void DownloadComplete() override {}
    void CommandStateChange(std::int32_t, bool) override {}
    void NewWindow2(bool& cancel) override {
        lines.push_back(std::string("NewWindow2 ") + (cancel ? "cancelled" : "asked"));
    }
    bool DocumentContextMenu() override { return true; }
    void DocumentMouseDown() override {}
    void DocumentMouseUp() override {}

    std::vector<std::string> lines;
    IBrowserWindow* window = nullptr;

private:
    std::string Top(const BrowserDispatch& pDisp) const {
        return pDisp.window == window ? "top " : "other ";
    }
};

json Tab(int id, const std::string& title, const std::string& url) {
    return {{"id", id}, {"window", 1}, {"title", title}, {"url", url}};
}
json TabMessage(int id, const std::string& title, const std::string& url, bool loaded = false) {
    return {{"type", "tab"}, {"tab", Tab(id, title, url)}, {"loaded", loaded}};
}

std::vector<std::string> Titles(const ExtensionTabs& tabs) {
    std::vector<std::string> titles;
    for (const auto& window : tabs.Windows()) {
        titles.push_back(window->LocationName() + " " + window->LocationURL());
    }
    return titles;
}

TEST(ExtensionTabs, FollowsTabsOpenedRetitledAndClosedInTheOrderSeen) {
    ExtensionTabs tabs;
    tabs.AddConnection(1);
    EXPECT_EQ(tabs.Apply(1, {{"type", "hello"}, {"browser", "Firefox 153"}}), Effect::Registered);
    EXPECT_EQ(tabs.Apply(
                  1, {{"type", "windows"},
                      {"tabs", json::array({Tab(7, "A", "http://a/"), Tab(3, "B", "http://b/")})}}),
              Effect::Registered);
    EXPECT_EQ(Titles(tabs), (std::vector<std::string>{"A http://a/", "B http://b/"}));
    EXPECT_EQ(tabs.Apply(1, TabMessage(9, "C", "http://c/")), Effect::Registered);
    EXPECT_EQ(tabs.Apply(1, TabMessage(7, "A2", "http://a/")), Effect::Registered);
    EXPECT_EQ(tabs.Apply(1, TabMessage(7, "A2", "http://a/")), Effect::None);
    EXPECT_EQ(tabs.Apply(1, {{"type", "closed"}, {"id", 3}}), Effect::Revoked);
    EXPECT_EQ(tabs.Apply(1, {{"type", "closed"}, {"id", 3}}), Effect::None);
    EXPECT_EQ(Titles(tabs), (std::vector<std::string>{"A2 http://a/", "C http://c/"}));
    EXPECT_EQ(tabs.Browsers(), std::vector<std::string>{"Firefox 153"});
}

TEST(ExtensionTabs, KeepsEachWindowsHandleAndNeverReusesOne) {
    ExtensionTabs tabs;
    tabs.AddConnection(1);
    tabs.AddConnection(2);
    // Two browsers may number their tabs alike: each is its own window.
    static_cast<void>(tabs.Apply(1, TabMessage(1, "Firefox tab", "http://f/")));
    static_cast<void>(tabs.Apply(2, TabMessage(1, "Chromium tab", "http://c/")));
    const auto before = tabs.Windows();
    ASSERT_EQ(before.size(), 2U);
    EXPECT_NE(before[0]->Hwnd(), before[1]->Hwnd());
    EXPECT_GT(before[0]->Hwnd(), 0);
    static_cast<void>(tabs.Apply(1, TabMessage(1, "Firefox tab, new title", "http://f/")));
    EXPECT_EQ(tabs.Windows()[0]->Hwnd(), before[0]->Hwnd());
    static_cast<void>(tabs.Apply(1, {{"type", "closed"}, {"id", 1}}));
    static_cast<void>(tabs.Apply(1, TabMessage(1, "Again", "http://f/")));
    for (const auto& window : tabs.Windows()) {
        EXPECT_NE(window->Hwnd(), before[0]->Hwnd());
    }
}

TEST(ExtensionTabs, ASnapshotReplacesTheBrowsersTabsAndADisconnectRevokesThem) {
    ExtensionTabs tabs;
    tabs.AddConnection(1);
    tabs.AddConnection(2);
    static_cast<void>(tabs.Apply(1, TabMessage(1, "One", "http://1/")));
    static_cast<void>(tabs.Apply(1, TabMessage(2, "Two", "http://2/")));
    static_cast<void>(tabs.Apply(2, {{"type", "hello"}, {"browser", "Chromium 156"}}));
    static_cast<void>(tabs.Apply(2, TabMessage(1, "Other", "http://o/")));
    EXPECT_EQ(
        tabs.Apply(1, {{"type", "windows"}, {"tabs", json::array({Tab(2, "Two", "http://2/")})}}),
        Effect::Revoked);
    EXPECT_EQ(Titles(tabs), (std::vector<std::string>{"Two http://2/", "Other http://o/"}));
    EXPECT_EQ(tabs.RemoveConnection(2), Effect::Revoked);
    EXPECT_EQ(Titles(tabs), std::vector<std::string>{"Two http://2/"});
    EXPECT_TRUE(tabs.Browsers().empty());
    EXPECT_EQ(tabs.RemoveConnection(2), Effect::None);
    // Messages of a connection that is gone change nothing.
    EXPECT_EQ(tabs.Apply(2, TabMessage(5, "Late", "http://l/")), Effect::None);
}

TEST(ExtensionTabs, ReportsNavigationsLoadsAndBlockedWindowsToTheOpenersReceivers) {
    ExtensionTabs tabs;
    tabs.AddConnection(1);
    static_cast<void>(tabs.Apply(1, TabMessage(4, "Opener", "http://a/")));
    static_cast<void>(tabs.Apply(1, TabMessage(5, "Bystander", "http://b/")));
    Recorder opener;
    Recorder bystander;
    opener.window = tabs.Windows()[0].get();
    bystander.window = tabs.Windows()[1].get();
    tabs.Windows()[0]->Advise(&opener);
    tabs.Windows()[1]->Advise(&bystander);

    static_cast<void>(tabs.Apply(1, TabMessage(4, "Opener", "http://a/next")));
    static_cast<void>(tabs.Apply(1, TabMessage(4, "Opener", "http://a/next", true)));
    static_cast<void>(tabs.Apply(1, {{"type", "blocked"}, {"tab", 4}, {"url", "http://pop/"}}));
    // A report for a tab not known (yet) goes nowhere.
    static_cast<void>(tabs.Apply(1, {{"type", "blocked"}, {"tab", 99}, {"url", "http://pop/"}}));
    EXPECT_EQ(opener.lines,
              (std::vector<std::string>{"NavigateComplete2 top http://a/next",
                                        "DocumentComplete top http://a/next", "NewWindow2 asked"}));
    EXPECT_TRUE(bystander.lines.empty());
    tabs.Windows()[0]->Unadvise(&opener);
    static_cast<void>(tabs.Apply(1, {{"type", "blocked"}, {"tab", 4}, {"url", "http://pop/"}}));
    EXPECT_EQ(opener.lines.size(), 3U);
}

TEST(ExtensionWindow, TellsItsHistoryWithoutNavigatingAndRefusesCommands) {
    ExtensionWindow window(5, "T", "http://t/");
    const auto history = window.History();
    ASSERT_TRUE(history.has_value());
    EXPECT_FALSE(history->canGoBack);
    EXPECT_FALSE(history->canGoForward);
    EXPECT_THROW(window.GoForward(), RuntimeError);
    EXPECT_FALSE(window.HasDocument());
}

TEST(BrowserReach, NamesTheBrowsersFoundAndThoseThatCannotConnect) {
    orvelle::test::TempEnvironment environment;
    const std::string home = environment.Path("home");
    const std::string config = environment.Path("config");
    const orvelle::browsers::BaseFolders folders{home, config, environment.Path("cache")};

    EXPECT_EQ(ConnectionHint(FindBrowsers(folders)),
              "No browser is connected: install Orvelle's package (it adds the extension to "
              "Firefox ESR and Chromium), then start the browser.");

    orvelle::test::MakeDirs(config + "/mozilla/firefox");
    orvelle::test::MakeDirs(home + "/.mozilla/firefox");
    orvelle::test::MakeDirs(config + "/chromium");
    orvelle::test::MakeDirs(home + "/snap/chromium/common/chromium");
    const FoundBrowsers found = FindBrowsers(folders);
    EXPECT_EQ(found.reachable, (std::vector<std::string>{"Firefox", "Chromium"}));
    EXPECT_EQ(found.sandboxed, std::vector<std::string>{"Chromium (snap)"});
    EXPECT_EQ(ConnectionHint(found),
              "No browser is connected: install Orvelle's package (it adds the extension to "
              "Firefox ESR and Chromium), then restart Firefox, Chromium. Chromium (snap) cannot "
              "connect: snap and flatpak browsers cannot reach Orvelle here.");
}

}  // namespace
