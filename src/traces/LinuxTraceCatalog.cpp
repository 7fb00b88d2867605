#include "LinuxTraceCatalog.h"

#include "CommandRunner.h"
#include "SettingFiles.h"
#include "SqliteTraces.h"
#include "TraceFiles.h"
#include "TraceRules.h"

#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>

namespace orvelle::traces {
namespace {

using os::posix::OpenFileSet;
using traces::TraceContent;
using traces::TraceFindings;
using traces::TraceItem;

bool Exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

bool IsFolder(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool IsFile(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool IsLink(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

std::uint64_t DatabaseSize(const std::string& path) {
    std::uint64_t total = SizeOnDisk(path);
    for (const char* suffix : {"-wal", "-shm", "-journal"}) {
        total += SizeOnDisk(path + suffix);
    }
    return total;
}

bool IsPattern(const std::string& name) {
    return name.find_first_of("*?[") != std::string::npos;
}

std::vector<std::string> SortedEntries(const std::string& folder) {
    std::vector<std::string> names;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
    if (!dir) {
        return names;
    }
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") {
            names.push_back(name);
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> FlatpakApps(const std::string& home) {
    std::vector<std::string> apps;
    const std::string root = home + "/.var/app";
    for (const std::string& name : SortedEntries(root)) {
        if (IsFolder(root + "/" + name)) {
            apps.push_back(name);
        }
    }
    return apps;
}

std::string UserDataFolder(const BrowserProfile& profile) {
    const auto slash = profile.folder.rfind('/');
    return slash == std::string::npos ? profile.folder : profile.folder.substr(0, slash);
}

// The folders a rule's base stands for, for one profile (or none, for the desktop).
std::vector<std::string> BaseFolders(RuleBase base, const HomeFolders& f,
                                     const BrowserProfile* profile) {
    switch (base) {
    case RuleBase::Profile:
        return {profile->folder};
    case RuleBase::ProfileCache:
        // A profile kept outside its root keeps its cache inside itself: listed once.
        return profile->cacheFolder.empty() || profile->cacheFolder == profile->folder
                   ? std::vector<std::string>{}
                   : std::vector<std::string>{profile->cacheFolder};
    case RuleBase::UserData:
        return {UserDataFolder(*profile)};
    case RuleBase::DataHome:
        return {f.dataHome};
    case RuleBase::CacheHome:
        return {f.cacheHome};
    case RuleBase::ConfigHome:
        return {f.configHome};
    case RuleBase::StateHome:
        return {f.stateHome};
    case RuleBase::FlatpakData: {
        std::vector<std::string> folders;
        for (const std::string& app : FlatpakApps(f.home)) {
            folders.push_back(f.home + "/.var/app/" + app + "/data");
        }
        return folders;
    }
    case RuleBase::Settings:
        return {""};
    }
    return {};
}

struct Adder {
    TraceFindings& findings;
    int option;
    const BrowserProfile* profile = nullptr;
    std::string settingValue;

    TraceItem Item(const TraceRule& rule, const std::string& base,
                   const std::string& relative) const {
        TraceItem item;
        item.option = option;
        item.kind = KindOf(rule.action);
        item.content = rule.content;
        item.base = base;
        item.path = base + "/" + relative;
        item.value = settingValue;
        if (profile != nullptr) {
            item.browser = profile->browser;
            item.profile = profile->name;
            item.lockFile = profile->lockFile;
        }
        return item;
    }

    [[nodiscard]] bool Listed(const std::string& path) const {
        return std::any_of(
            findings.items.begin(), findings.items.end(),
            [&](const TraceItem& other) { return other.path == path && other.option == option; });
    }

    // One location of a rule, when it is there in the form its action needs.
    void Add(const TraceRule& rule, const std::string& base, const std::string& relative) const {
        TraceItem item = Item(rule, base, relative);
        // Folders shared by profiles (Chromium's user data folder) are listed once.
        if (Listed(item.path)) {
            return;
        }
        switch (rule.action) {
        case RuleAction::DeleteFile:
            if (!IsFile(item.path)) {
                return;
            }
            item.bytes = DatabaseSize(item.path);
            break;
        case RuleAction::DeleteFolder:
        case RuleAction::EmptyFolder:
            if (!IsFolder(item.path)) {
                return;
            }
            item.bytes = SizeOnDisk(item.path);
            break;
        case RuleAction::EditDatabase:
            // A link where a database belongs is listed: its edit refuses it out loud.
            if (!IsFile(item.path) && !IsLink(item.path)) {
                return;
            }
            item.bytes = DatabaseSize(item.path);
            break;
        case RuleAction::EditSettings:
            if (!rule.create && !Exists(item.path)) {
                return;
            }
            item.bytes = SizeOnDisk(item.path);
            break;
        }
        findings.items.push_back(std::move(item));
    }

    void Apply(const TraceRule& rule, const std::string& base) const {
        if (rule.base == RuleBase::Settings) {
            // GNOME Shell's run history, where its settings schema is installed.
            if (RunCommand({"gsettings", "writable", "org.gnome.shell", "command-history"}) == 0) {
                TraceItem item = Item(rule, "", "");
                item.path = rule.path;
                findings.items.push_back(std::move(item));
            }
            return;
        }
        if (base.empty()) {
            return;
        }
        const std::string path = rule.path;
        const auto slash = path.rfind('/');
        const std::string last = slash == std::string::npos ? path : path.substr(slash + 1);
        if (!IsPattern(last)) {
            Add(rule, base, path);
            return;
        }
        const std::string parent = slash == std::string::npos ? "" : path.substr(0, slash);
        const std::string folder = parent.empty() ? base : base + "/" + parent;
        if (!IsFolder(folder)) {
            return;
        }
        for (const std::string& name : SortedEntries(folder)) {
            if (::fnmatch(last.c_str(), name.c_str(), FNM_PERIOD) != 0 ||
                (rule.keep != nullptr && ::fnmatch(rule.keep, name.c_str(), 0) == 0)) {
                continue;
            }
            Add(rule, base, parent.empty() ? name : parent + "/" + name);
        }
    }
};

bool Covers(const TraceRule& rule, BrowserFamily family) {
    return (rule.scope == RuleScope::Firefox && family == BrowserFamily::Firefox) ||
           (rule.scope == RuleScope::Chromium && family == BrowserFamily::Chromium);
}

// The pages whose rows and icons stay (the bookmarked ones), for the edits that need
// them; "" or why they cannot be known. `untouched`: for a preview, nothing is written.
std::string KeptPages(const TraceItem& item, std::vector<std::string>& keep, bool untouched) {
    if (item.content == TraceContent::FirefoxFavicons) {
        keep = FirefoxBookmarkedUrls(item.base + "/places.sqlite", untouched);
    } else if (item.content == TraceContent::ChromiumHistory ||
               item.content == TraceContent::ChromiumFavicons) {
        bool valid = true;
        keep = ChromiumBookmarkedUrls(item.base + "/Bookmarks", valid);
        if (!valid) {
            return "Not cleaned: \"" + item.base +
                   "/Bookmarks\" cannot be read, so the bookmarked pages are not known";
        }
    }
    return {};
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

TraceFindings LinuxTraceCatalog::Collect(int option, const std::string& value) const {
    TraceFindings findings;
    const auto rules = AllTraceRules();
    const auto ofOption = [&](const TraceRule& rule) { return rule.option == option; };
    const bool browsers = std::any_of(rules.begin(), rules.end(), [&](const TraceRule& rule) {
        return ofOption(rule) && rule.scope != RuleScope::Desktop;
    });
    const HomeFolders folders = Folders();
    if (browsers) {
        // Firefox reads user.js only when it starts: the two settings may write it
        // for a running profile.
        const bool allowFirefoxInUse =
            option == traces::kSettingAutoFill || option == traces::kSettingStartPage;
        for (const BrowserProfile& profile : UsableProfiles(option, findings, allowFirefoxInUse)) {
            const Adder add{findings, option, &profile, value};
            for (const TraceRule& rule : rules) {
                if (!ofOption(rule) || !Covers(rule, profile.family)) {
                    continue;
                }
                for (const std::string& base : BaseFolders(rule.base, folders, &profile)) {
                    add.Apply(rule, base);
                }
            }
        }
    }
    const Adder add{findings, option, nullptr, value};
    for (const TraceRule& rule : rules) {
        if (ofOption(rule) && rule.scope == RuleScope::Desktop) {
            for (const std::string& base : BaseFolders(rule.base, folders, nullptr)) {
                add.Apply(rule, base);
            }
        }
    }
    return findings;
}

TraceFindings LinuxTraceCatalog::Find(int option) {
    if (option < 0 || option >= traces::kSettingAutoFill) {
        return {};
    }
    return Collect(option, "");
}

TraceFindings LinuxTraceCatalog::FindAutoFill(bool enabled) {
    return Collect(traces::kSettingAutoFill, enabled ? "true" : "false");
}

TraceFindings LinuxTraceCatalog::FindStartPage(const std::string& address) {
    return Collect(traces::kSettingStartPage, address);
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
    case TraceContent::WholeFolder:
        return {DeleteWholeFolder(item.base, relative, openFiles)};
    case TraceContent::FirefoxTyped:
    case TraceContent::FirefoxHistory:
    case TraceContent::FirefoxFavicons:
    case TraceContent::FirefoxBookmarks:
    case TraceContent::FirefoxFormHistory:
    case TraceContent::FirefoxSitePermissions:
    case TraceContent::FirefoxBounceTracking:
    case TraceContent::ChromiumTyped:
    case TraceContent::ChromiumHistory:
    case TraceContent::ChromiumFavicons:
    case TraceContent::ChromiumAutofill: {
        if (!Exists(item.path)) {
            return {};
        }
        if (HeldOpen(item.path, *openFiles) || HeldOpen(item.path + "-wal", *openFiles)) {
            return {"Not cleaned: \"" + item.path + "\" is open in another program"};
        }
        std::vector<std::string> keep;
        if (const std::string why = KeptPages(item, keep, false); !why.empty()) {
            return {why};
        }
        return {EraseRows(item.path, item.content, keep)};
    }
    case TraceContent::ChromiumEngagement:
        return {Exists(item.path) ? RemoveChromiumEngagement(item.path) : std::string()};
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

void LinuxTraceCatalog::Measure(TraceItem& item) {
    if (item.kind != TraceKind::DatabaseRows || !Exists(item.path)) {
        return;
    }
    std::vector<std::string> keep;
    if (!KeptPages(item, keep, true).empty()) {
        item.rows = 0;  // the clean would not touch it: nothing would be freed
        item.bytes = 0;
        return;
    }
    const RowsEstimate estimate = MeasureRows(item.path, item.content, keep);
    item.rows = estimate.rows;
    item.bytes = estimate.bytes;
}

}  // namespace orvelle::traces
