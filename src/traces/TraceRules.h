#pragma once

#include "traces/TraceCatalog.h"

#include <span>

namespace orvelle::traces {

// Whose folders a rule looks in.
enum class RuleScope {
    Firefox,   // every Firefox profile the indexes name
    Chromium,  // every Chromium-family profile the indexes name
    Desktop,   // the user's own folders, once
};

// The folder a rule's path starts from.
enum class RuleBase {
    Profile,       // the profile folder
    ProfileCache,  // the profile's cache folder (under the browser's cache root)
    UserData,      // Chromium: the user data folder that holds every profile
    DataHome,      // $XDG_DATA_HOME
    CacheHome,     // $XDG_CACHE_HOME
    ConfigHome,    // $XDG_CONFIG_HOME
    StateHome,     // $XDG_STATE_HOME
    FlatpakData,   // each ~/.var/app/<application>/data
    Settings,      // no folder: the desktop's settings service (GSettings)
};

// The named operations a rule may ask for.
enum class RuleAction {
    DeleteFile,    // the file with its -wal, -shm and -journal, all or none
    DeleteFolder,  // the folder and what is in it, by the safe walk
    EmptyFolder,   // what is in the folder, by the safe walk; the folder stays
    EditDatabase,  // rows deleted through SQLite (which rows: the rule's content)
    EditSettings,  // entries of a settings file or service rewritten (the rule's content)
};

// One location of a trace. The last part of `path` may be a shell pattern
// ("SiteSecurityServiceState.*", "http*"): each entry it matches, except those
// matching `keep`, is one item (a folder deleted whole, a file with its companions).
struct TraceRule {
    int option;  // the cleaning option, or traces::kSettingAutoFill / kSettingStartPage
    RuleScope scope;
    RuleBase base;
    const char* path;
    RuleAction action;
    traces::TraceContent content = traces::TraceContent::WholeFile;
    const char* keep = nullptr;  // a pattern of entries that stay
    bool create = false;         // EditSettings: the file is written even when missing
};

// Every rule, in the order a clean applies them (within an option, a profile's
// history before the icons that depend on its bookmarks).
[[nodiscard]] std::span<const TraceRule> AllTraceRules();

// How an action is reported to the run and the preview.
[[nodiscard]] traces::TraceKind KindOf(RuleAction action);

}  // namespace orvelle::traces
