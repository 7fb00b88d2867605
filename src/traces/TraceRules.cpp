#include "TraceRules.h"

namespace orvelle::traces {
namespace {

using enum RuleScope;
using enum RuleBase;
using enum RuleAction;
using C = traces::TraceContent;

// Option indexes of the cleaning run.
constexpr int kTyped = 2;
constexpr int kRecent = 3;
constexpr int kCache = 6;
constexpr int kCookies = 7;
constexpr int kFavorites = 8;
constexpr int kHistory = 9;
constexpr int kClipboard = 12;
constexpr int kRunHistory = 13;
constexpr int kAutoFill = traces::kSettingAutoFill;
constexpr int kStartPage = traces::kSettingStartPage;

// Never deleted whole here: permissions.sqlite, content-prefs.sqlite, favicons.sqlite,
// logins.json, key4.db, Login Data, Preferences: they also hold the user's own choices.
constexpr TraceRule kRules[] = {
    // Site addresses typed into the address bar.
    {kTyped, Firefox, Profile, "places.sqlite", EditDatabase, C::FirefoxTyped},
    {kTyped, Chromium, Profile, "History", EditDatabase, C::ChromiumTyped},
    {kTyped, Chromium, Profile, "Shortcuts", DeleteFile},
    {kTyped, Chromium, Profile, "Network Action Predictor", DeleteFile},

    // Recent files and their thumbnails.
    {kRecent, Desktop, DataHome, "recently-used.xbel", EditSettings, C::RecentList},
    {kRecent, Desktop, FlatpakData, "recently-used.xbel", EditSettings, C::RecentList},
    {kRecent, Desktop, DataHome, "RecentDocuments", EmptyFolder, C::FolderContents},
    {kRecent, Desktop, CacheHome, "thumbnails/normal", EmptyFolder, C::FolderContents},
    {kRecent, Desktop, CacheHome, "thumbnails/large", EmptyFolder, C::FolderContents},
    {kRecent, Desktop, CacheHome, "thumbnails/x-large", EmptyFolder, C::FolderContents},
    {kRecent, Desktop, CacheHome, "thumbnails/xx-large", EmptyFolder, C::FolderContents},
    {kRecent, Desktop, CacheHome, "thumbnails/fail", EmptyFolder, C::FolderContents},

    // Cache. Firefox's own clear leaves cache2's files (and the Set-Cookie headers in
    // them): here they go while the browser is closed.
    {kCache, Firefox, ProfileCache, "cache2", EmptyFolder, C::FolderContents},
    {kCache, Firefox, Profile, "cache2", EmptyFolder, C::FolderContents},
    {kCache, Firefox, ProfileCache, "startupCache", EmptyFolder, C::FolderContents},
    {kCache, Firefox, Profile, "startupCache", EmptyFolder, C::FolderContents},
    {kCache, Firefox, ProfileCache, "thumbnails", EmptyFolder, C::FolderContents},
    {kCache, Firefox, Profile, "thumbnails", EmptyFolder, C::FolderContents},
    {kCache, Chromium, ProfileCache, "Cache", EmptyFolder, C::FolderContents},
    {kCache, Chromium, Profile, "Cache", EmptyFolder, C::FolderContents},
    {kCache, Chromium, ProfileCache, "Code Cache", EmptyFolder, C::FolderContents},
    {kCache, Chromium, Profile, "Code Cache", EmptyFolder, C::FolderContents},
    {kCache, Chromium, Profile, "GPUCache", EmptyFolder, C::FolderContents},
    {kCache, Chromium, Profile, "DawnCache", EmptyFolder, C::FolderContents},
    {kCache, Chromium, Profile, "DawnGraphiteCache", EmptyFolder, C::FolderContents},
    {kCache, Chromium, Profile, "DawnWebGPUCache", EmptyFolder, C::FolderContents},

    // Cookies and site data, as both browsers name them; extensions' storage stays.
    {kCookies, Firefox, Profile, "cookies.sqlite", DeleteFile},
    {kCookies, Firefox, Profile, "storage/default/http*", DeleteFolder, C::WholeFolder},
    {kCookies, Firefox, Profile, "storage.sqlite", DeleteFile},
    {kCookies, Firefox, Profile, "serviceworker.txt", DeleteFile},
    {kCookies, Firefox, Profile, "webappsstore.sqlite", DeleteFile},
    // Session cookies live only in the session files.
    {kCookies, Firefox, Profile, "sessionstore.jsonlz4", DeleteFile},
    {kCookies, Firefox, Profile, "sessionstore-backups", EmptyFolder, C::FolderContents},
    {kCookies, Chromium, Profile, "Network/Cookies", DeleteFile},
    {kCookies, Chromium, Profile, "Cookies", DeleteFile},
    {kCookies, Chromium, Profile, "Extension Cookies", DeleteFile},
    {kCookies, Chromium, Profile, "Local Storage", EmptyFolder, C::FolderContents},
    {kCookies, Chromium, Profile, "Session Storage", EmptyFolder, C::FolderContents},
    {kCookies, Chromium, Profile, "IndexedDB/*", DeleteFolder, C::WholeFolder,
     "chrome-extension_*"},
    {kCookies, Chromium, Profile, "Service Worker", EmptyFolder, C::FolderContents},
    {kCookies, Chromium, Profile, "WebStorage", EmptyFolder, C::FolderContents},
    {kCookies, Chromium, Profile, "File System", EmptyFolder, C::FolderContents},
    {kCookies, Chromium, Profile, "shared_proto_db", EmptyFolder, C::FolderContents},

    // Favorites: only when the user asks for it.
    {kFavorites, Firefox, Profile, "places.sqlite", EditDatabase, C::FirefoxBookmarks},
    {kFavorites, Chromium, Profile, "Bookmarks", DeleteFile},
    {kFavorites, Chromium, Profile, "Bookmarks.bak", DeleteFile},

    // History: every copy of the addresses visited and of what was typed into pages.
    {kHistory, Firefox, Profile, "places.sqlite", EditDatabase, C::FirefoxHistory},
    {kHistory, Firefox, Profile, "favicons.sqlite", EditDatabase, C::FirefoxFavicons},
    {kHistory, Firefox, Profile, "formhistory.sqlite", EditDatabase, C::FirefoxFormHistory},
    {kHistory, Firefox, Profile, "permissions.sqlite", EditDatabase, C::FirefoxSitePermissions},
    {kHistory, Firefox, Profile, "bounce-tracking-protection.sqlite", EditDatabase,
     C::FirefoxBounceTracking},
    {kHistory, Firefox, Profile, "SiteSecurityServiceState.*", DeleteFile},
    {kHistory, Firefox, Profile, "AlternateServices.*", DeleteFile},
    {kHistory, Firefox, Profile, "sessionstore.jsonlz4", DeleteFile},
    {kHistory, Firefox, Profile, "sessionstore-backups", EmptyFolder, C::FolderContents},
    {kHistory, Chromium, Profile, "History", EditDatabase, C::ChromiumHistory},
    {kHistory, Chromium, Profile, "Favicons", EditDatabase, C::ChromiumFavicons},
    {kHistory, Chromium, Profile, "Web Data", EditDatabase, C::ChromiumAutofill},
    {kHistory, Chromium, Profile, "Preferences", EditSettings, C::ChromiumEngagement},
    {kHistory, Chromium, Profile, "Visited Links", DeleteFile},
    {kHistory, Chromium, Profile, "Top Sites", DeleteFile},
    {kHistory, Chromium, Profile, "History Provider Cache", DeleteFile},
    {kHistory, Chromium, Profile, "Archived History", DeleteFile},
    {kHistory, Chromium, Profile, "DIPS", DeleteFile},
    {kHistory, Chromium, Profile, "Sessions", EmptyFolder, C::FolderContents},
    {kHistory, Chromium, Profile, "Sessions_Encrypted", EmptyFolder, C::FolderContents},
    {kHistory, Chromium, Profile, "Current Session", DeleteFile},
    {kHistory, Chromium, Profile, "Current Tabs", DeleteFile},
    {kHistory, Chromium, Profile, "Last Session", DeleteFile},
    {kHistory, Chromium, Profile, "Last Tabs", DeleteFile},
    {kHistory, Chromium, UserData, "segmentation_platform/ukm_db", DeleteFile},
    {kHistory, Chromium, UserData, "Crash Reports/pending", EmptyFolder, C::FolderContents},
    {kHistory, Chromium, UserData, "Crash Reports/completed", EmptyFolder, C::FolderContents},
    {kHistory, Chromium, UserData, "Crash Reports/new", EmptyFolder, C::FolderContents},

    // The desktop's own lists.
    {kClipboard, Desktop, DataHome, "klipper/history2.lst", DeleteFile},
    {kRunHistory, Desktop, Settings, "org.gnome.shell command-history", EditSettings,
     C::GnomeRunHistory},
    {kRunHistory, Desktop, StateHome, "krunnerstaterc", EditSettings, C::KRunnerHistory},
    {kRunHistory, Desktop, ConfigHome, "krunnerstaterc", EditSettings, C::KRunnerHistory},
    {kRunHistory, Desktop, ConfigHome, "krunnerrc", EditSettings, C::KRunnerHistory},
    {kRunHistory, Desktop, CacheHome, "xfce4/xfce4-appfinder/history", DeleteFile},
    {kRunHistory, Desktop, CacheHome, "rofi3.druncache", DeleteFile},
    {kRunHistory, Desktop, CacheHome, "rofi3.runcache", DeleteFile},
    {kRunHistory, Desktop, CacheHome, "rofi-2.sshcache", DeleteFile},
    {kRunHistory, Desktop, CacheHome, "dmenu_run", DeleteFile},

    // The two settings that are not cleaning options. Firefox reads user.js only when
    // it starts and never writes it, so it is written even for a running profile.
    {kAutoFill, Firefox, Profile, "user.js", EditSettings, C::FirefoxAutoFill, nullptr, true},
    {kStartPage, Firefox, Profile, "user.js", EditSettings, C::FirefoxStartPage, nullptr, true},
    {kStartPage, Chromium, Profile, "Preferences", EditSettings, C::ChromiumStartPage},
};

}  // namespace

std::span<const TraceRule> AllTraceRules() {
    return kRules;
}

traces::TraceKind KindOf(RuleAction action) {
    switch (action) {
    case DeleteFile:
        return traces::TraceKind::File;
    case DeleteFolder:
    case EmptyFolder:
        return traces::TraceKind::Folder;
    case EditDatabase:
        return traces::TraceKind::DatabaseRows;
    case EditSettings:
        return traces::TraceKind::Setting;
    }
    return traces::TraceKind::File;
}

}  // namespace orvelle::traces
