#include "LinuxTraceCatalog.h"

#include "CommandRunner.h"
#include "SettingFiles.h"
#include "SqliteTraces.h"
#include "TraceFiles.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>

namespace orvelle::traces {
namespace {

using platform::SkippedProfile;
using platform::TraceContent;
using platform::TraceFindings;
using platform::TraceItem;
using platform::TraceKind;
using platform::TraceOutcome;
using platform::posix::OpenFileSet;

// Option indexes of the cleaning run.
constexpr int kTyped = 2;
constexpr int kRecent = 3;
constexpr int kCache = 6;
constexpr int kCookies = 7;
constexpr int kFavorites = 8;
constexpr int kHistory = 9;
constexpr int kClipboard = 12;
constexpr int kRunHistory = 13;

bool Exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

bool IsFolder(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::uint64_t DatabaseSize(const std::string& path) {
    std::uint64_t total = SizeOnDisk(path);
    for (const char* suffix : {"-wal", "-shm", "-journal"}) {
        total += SizeOnDisk(path + suffix);
    }
    return total;
}

struct Adder {
    TraceFindings& findings;
    int option;
    const BrowserProfile* profile = nullptr;

    TraceItem Item(TraceKind kind, TraceContent content, const std::string& base,
                   const std::string& relative) const {
        TraceItem item;
        item.option = option;
        item.kind = kind;
        item.content = content;
        item.base = base;
        item.path = relative.empty() ? base : base + "/" + relative;
        if (profile != nullptr) {
            item.browser = profile->browser;
            item.profile = profile->name;
            item.lockFile = profile->lockFile;
        }
        return item;
    }
    // A file deleted whole, when it is there.
    void File(const std::string& base, const std::string& relative) const {
        TraceItem item = Item(TraceKind::File, TraceContent::WholeFile, base, relative);
        if (Exists(item.path)) {
            item.bytes = DatabaseSize(item.path);
            findings.items.push_back(std::move(item));
        }
    }
    // A folder emptied, when it is there and not already listed.
    void Folder(const std::string& base, const std::string& relative) const {
        TraceItem item = Item(TraceKind::Folder, TraceContent::FolderContents, base, relative);
        const bool listed =
            std::any_of(findings.items.begin(), findings.items.end(),
                        [&](const TraceItem& other) { return other.path == item.path; });
        if (!listed && IsFolder(item.path)) {
            item.bytes = SizeOnDisk(item.path);
            findings.items.push_back(std::move(item));
        }
    }
    void Rows(const std::string& base, const std::string& relative, TraceContent content) const {
        TraceItem item = Item(TraceKind::DatabaseRows, content, base, relative);
        if (Exists(item.path)) {
            item.bytes = DatabaseSize(item.path);
            findings.items.push_back(std::move(item));
        }
    }
    void Setting(const std::string& base, const std::string& relative, TraceContent content,
                 const std::string& value, bool onlyIfThere) const {
        TraceItem item = Item(TraceKind::Setting, content, base, relative);
        item.value = value;
        if (!onlyIfThere || Exists(item.path)) {
            item.bytes = SizeOnDisk(item.path);
            findings.items.push_back(std::move(item));
        }
    }
};

void FirefoxItems(const Adder& add, const BrowserProfile& p) {
    switch (add.option) {
    case kTyped:
        add.Rows(p.folder, "places.sqlite", TraceContent::FirefoxTyped);
        break;
    case kCache:
        for (const char* name : {"cache2", "startupCache", "thumbnails"}) {
            add.Folder(p.cacheFolder, name);
            add.Folder(p.folder, name);
        }
        break;
    case kCookies:
        add.File(p.folder, "cookies.sqlite");
        break;
    case kFavorites:
        add.Rows(p.folder, "places.sqlite", TraceContent::FirefoxBookmarks);
        break;
    case kHistory:
        add.Rows(p.folder, "places.sqlite", TraceContent::FirefoxHistory);
        add.Rows(p.folder, "favicons.sqlite", TraceContent::FirefoxFavicons);
        break;
    default:
        break;
    }
}

void ChromiumItems(const Adder& add, const BrowserProfile& p) {
    switch (add.option) {
    case kTyped:
        add.Rows(p.folder, "History", TraceContent::ChromiumTyped);
        add.File(p.folder, "Shortcuts");
        add.File(p.folder, "Network Action Predictor");
        break;
    case kCache:
        for (const char* name : {"Cache", "Code Cache"}) {
            add.Folder(p.cacheFolder, name);
            add.Folder(p.folder, name);  // a profile given its own user data folder
        }
        for (const char* name : {"GPUCache", "DawnCache", "DawnGraphiteCache", "DawnWebGPUCache"}) {
            add.Folder(p.folder, name);
        }
        break;
    case kCookies:
        for (const char* name : {"Network/Cookies", "Cookies", "Extension Cookies"}) {
            add.File(p.folder, name);
        }
        break;
    case kFavorites:
        add.File(p.folder, "Bookmarks");
        add.File(p.folder, "Bookmarks.bak");
        break;
    case kHistory:
        add.Rows(p.folder, "History", TraceContent::ChromiumHistory);
        for (const char* name :
             {"Visited Links", "Top Sites", "History Provider Cache", "Archived History", "DIPS"}) {
            add.File(p.folder, name);
        }
        break;
    default:
        break;
    }
}

std::vector<std::string> FlatpakApps(const std::string& home) {
    std::vector<std::string> apps;
    const std::string root = home + "/.var/app";
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(root.c_str()), ::closedir);
    if (!dir) {
        return apps;
    }
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (name != "." && name != ".." && IsFolder(root + "/" + name)) {
            apps.push_back(name);
        }
    }
    std::sort(apps.begin(), apps.end());
    return apps;
}

void DesktopItems(const Adder& add, const HomeFolders& f) {
    switch (add.option) {
    case kRecent:
        add.Setting(f.dataHome, "recently-used.xbel", TraceContent::RecentList, "", true);
        for (const std::string& app : FlatpakApps(f.home)) {
            add.Setting(f.home + "/.var/app/" + app + "/data", "recently-used.xbel",
                        TraceContent::RecentList, "", true);
        }
        add.Folder(f.dataHome, "RecentDocuments");
        for (const char* size : {"normal", "large", "x-large", "xx-large", "fail"}) {
            add.Folder(f.cacheHome, std::string("thumbnails/") + size);
        }
        break;
    case kClipboard:
        add.File(f.dataHome, "klipper/history2.lst");
        break;
    case kRunHistory:
        if (RunCommand({"gsettings", "writable", "org.gnome.shell", "command-history"}) == 0) {
            TraceItem item = add.Item(TraceKind::Setting, TraceContent::GnomeRunHistory, "", "");
            item.path = "org.gnome.shell command-history";
            add.findings.items.push_back(std::move(item));
        }
        add.Setting(f.stateHome, "krunnerstaterc", TraceContent::KRunnerHistory, "", true);
        add.Setting(f.configHome, "krunnerstaterc", TraceContent::KRunnerHistory, "", true);
        add.Setting(f.configHome, "krunnerrc", TraceContent::KRunnerHistory, "", true);
        add.File(f.cacheHome, "xfce4/xfce4-appfinder/history");
        add.File(f.cacheHome, "rofi3.druncache");
        add.File(f.cacheHome, "rofi3.runcache");
        add.File(f.cacheHome, "rofi-2.sshcache");
        add.File(f.cacheHome, "dmenu_run");
        break;
    default:
        break;
    }
}

std::string InUseText(const TraceItem& item, const std::string& reason) {
    return item.browser + " profile \"" + item.profile + "\" is " + reason + ": not cleaned";
}

}  // namespace

HomeFolders LinuxTraceCatalog::Folders() const {
    return folders_ ? *folders_ : HomeFolders::FromEnvironment();
}

std::vector<BrowserProfile> LinuxTraceCatalog::UsableProfiles(int option, TraceFindings& findings,
                                                              bool allowFirefoxInUse) const {
    ProfileList list = FindBrowserProfiles(Folders());
    for (SkippedProfile refused : list.refused) {
        refused.option = option;
        findings.skipped.push_back(std::move(refused));
    }
    std::vector<BrowserProfile> usable;
    for (BrowserProfile& profile : list.profiles) {
        const bool mayRun = allowFirefoxInUse && profile.family == BrowserFamily::Firefox;
        const std::string reason = mayRun ? std::string() : ProfileInUse(profile.lockFile);
        if (!reason.empty()) {
            findings.skipped.push_back(
                {option, profile.browser, profile.name, profile.folder, reason});
            continue;
        }
        usable.push_back(std::move(profile));
    }
    return usable;
}

TraceFindings LinuxTraceCatalog::Find(int option) {
    TraceFindings findings;
    const bool browserOption = option == kTyped || option == kCache || option == kCookies ||
                               option == kFavorites || option == kHistory;
    if (browserOption) {
        for (const BrowserProfile& profile : UsableProfiles(option, findings, false)) {
            const Adder add{findings, option, &profile};
            if (profile.family == BrowserFamily::Firefox) {
                FirefoxItems(add, profile);
            } else {
                ChromiumItems(add, profile);
            }
        }
    }
    DesktopItems(Adder{findings, option}, Folders());
    return findings;
}

TraceFindings LinuxTraceCatalog::FindAutoFill(bool enabled) {
    TraceFindings findings;
    for (const BrowserProfile& profile :
         UsableProfiles(platform::kSettingAutoFill, findings, true)) {
        if (profile.family == BrowserFamily::Firefox) {
            Adder{findings, platform::kSettingAutoFill, &profile}.Setting(
                profile.folder, "user.js", TraceContent::FirefoxAutoFill,
                enabled ? "true" : "false", false);
        }
    }
    return findings;
}

TraceFindings LinuxTraceCatalog::FindStartPage(const std::string& address) {
    TraceFindings findings;
    for (const BrowserProfile& profile :
         UsableProfiles(platform::kSettingStartPage, findings, true)) {
        const Adder add{findings, platform::kSettingStartPage, &profile};
        if (profile.family == BrowserFamily::Firefox) {
            add.Setting(profile.folder, "user.js", TraceContent::FirefoxStartPage, address, false);
        } else {
            add.Setting(profile.folder, "Preferences", TraceContent::ChromiumStartPage, address,
                        true);
        }
    }
    return findings;
}

TraceOutcome LinuxTraceCatalog::Apply(const TraceItem& item) {
    const bool userJs = item.content == TraceContent::FirefoxStartPage ||
                        item.content == TraceContent::FirefoxAutoFill;
    if (!item.lockFile.empty() && !userJs) {
        if (const std::string reason = ProfileInUse(item.lockFile); !reason.empty()) {
            return {InUseText(item, reason)};
        }
    }
    if (item.content == TraceContent::GnomeRunHistory) {
        if (RunCommand({"gsettings", "writable", "org.gnome.shell", "command-history"}) != 0) {
            return {};  // no GNOME Shell settings (any more): nothing to erase
        }
        if (RunCommand({"gsettings", "reset", "org.gnome.shell", "command-history"}) != 0) {
            return {"Could not reset " + item.path};
        }
        return {};
    }
    if (item.base.empty() || item.path.size() <= item.base.size() ||
        item.path.compare(0, item.base.size() + 1, item.base + "/") != 0) {
        // Only the catalog's own items are applied: a path outside its base is refused.
        if (item.kind != TraceKind::Folder || item.path != item.base) {
            return {"Not cleaned: \"" + item.path + "\" was not found by the catalog"};
        }
    }
    if (const std::string why = CheckBase(item.base); !why.empty()) {
        return {why};
    }
    const std::string relative =
        item.path.size() > item.base.size() ? item.path.substr(item.base.size() + 1) : "";
    const auto openFiles = std::make_shared<const OpenFileSet>(OpenFileSet::Scan());
    switch (item.content) {
    case TraceContent::WholeFile:
        return {DeleteWholeFile(item.base, relative, openFiles)};
    case TraceContent::FolderContents:
        return {EmptyFolder(item.base, relative, openFiles)};
    case TraceContent::FirefoxTyped:
    case TraceContent::FirefoxHistory:
    case TraceContent::FirefoxFavicons:
    case TraceContent::FirefoxBookmarks:
    case TraceContent::ChromiumTyped:
    case TraceContent::ChromiumHistory: {
        if (!Exists(item.path)) {
            return {};
        }
        if (HeldOpen(item.path, *openFiles) || HeldOpen(item.path + "-wal", *openFiles)) {
            return {"Not cleaned: \"" + item.path + "\" is open in another program"};
        }
        std::vector<std::string> keep;
        if (item.content == TraceContent::FirefoxFavicons) {
            keep = FirefoxBookmarkedUrls(item.base + "/places.sqlite");
        } else if (item.content == TraceContent::ChromiumHistory) {
            bool valid = true;
            keep = ChromiumBookmarkedUrls(item.base + "/Bookmarks", valid);
            if (!valid) {
                return {"Not cleaned: \"" + item.base +
                        "/Bookmarks\" cannot be read, so the bookmarked pages are not known"};
            }
        }
        return {EraseRows(item.path, item.content, keep)};
    }
    case TraceContent::RecentList:
        return {Exists(item.path) ? EmptyRecentList(item.path) : std::string()};
    case TraceContent::KRunnerHistory:
        return {Exists(item.path) ? RemoveKRunnerHistory(item.path) : std::string()};
    case TraceContent::FirefoxStartPage:
        return {SetUserPrefs(item.path, {{"browser.startup.homepage", JsString(item.value)},
                                         {"browser.startup.page", "1"}})};
    case TraceContent::FirefoxAutoFill:
        return {SetUserPrefs(
            item.path, {{"browser.urlbar.autoFill", item.value == "true" ? "true" : "false"}})};
    case TraceContent::ChromiumStartPage:
        return {Exists(item.path) ? SetChromiumStartPage(item.path, item.value) : std::string()};
    case TraceContent::GnomeRunHistory:
        break;
    }
    return {"Not cleaned: unknown trace"};
}

}  // namespace orvelle::traces
