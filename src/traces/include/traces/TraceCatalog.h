#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orvelle::traces {

// How a trace is kept, and so what erasing it means.
enum class TraceKind {
    File,          // a file deleted whole (a database with its -wal, -shm and -journal)
    Folder,        // a folder whose contents are deleted (the folder too for WholeFolder)
    DatabaseRows,  // rows of an SQLite database, deleted in one transaction
    Setting,       // a value written into a settings file or the desktop's settings
};

// What exactly is erased or written at a location.
enum class TraceContent {
    WholeFile,               // File: the file (and a database's companions)
    FolderContents,          // Folder: everything inside it
    WholeFolder,             // Folder: the folder with everything inside it (its name is a site)
    FirefoxTyped,            // places.sqlite: typed flags, input history
    FirefoxHistory,          // places.sqlite: visits, unbookmarked pages, origins, metadata
    FirefoxFavicons,         // favicons.sqlite: icons of pages that are not bookmarked
    FirefoxBookmarks,        // places.sqlite: every bookmark below the fixed roots
    ChromiumTyped,           // History: typed counts, keyword search terms
    ChromiumHistory,         // History: visits, unbookmarked urls, segments, clusters, annotations
    FirefoxFormHistory,      // formhistory.sqlite: every typed form value
    FirefoxSitePermissions,  // permissions.sqlite: rows Firefox adds by itself (storage access)
    FirefoxBounceTracking,   // bounce-tracking-protection.sqlite: every row
    ChromiumFavicons,        // Favicons: icons of pages that are not bookmarked
    ChromiumAutofill,        // Web Data: typed form values (not addresses or cards)
    ChromiumEngagement,      // Preferences: site and media engagement entries only
    RecentList,              // recently-used.xbel: left as a valid empty list
    KRunnerHistory,          // krunnerstaterc / krunnerrc: the history= entries
    GnomeRunHistory,         // GSettings org.gnome.shell command-history
    FirefoxStartPage,        // user.js: browser.startup.homepage, browser.startup.page
    FirefoxAutoFill,         // user.js: browser.urlbar.autoFill
    ChromiumStartPage,       // Preferences: homepage, session.restore_on_startup, startup_urls
};

// One location a cleaning option covers, as found on this machine. Plain data: a
// preview lists these, and a clean hands the same items back to Apply.
struct TraceItem {
    int option = -1;  // the cleaning option (chkSettings index), or a kSetting* id
    TraceKind kind = TraceKind::File;
    TraceContent content = TraceContent::WholeFile;
    std::string path;  // the file, folder or database; the setting's file or key
    std::string base;  // the folder Apply opens with the walk's checks; path is inside
    // Size on disk when found (a database: with its companions); a database that is
    // edited, once measured: what the edit and compaction free.
    std::uint64_t bytes = 0;
    std::uint64_t rows = 0;  // DatabaseRows, once measured: the rows deleted or changed
    std::string browser;     // "Firefox", "Chromium", …; empty for the desktop's traces
    std::string profile;     // the profile's name in its browser's index
    std::string lockFile;    // the lock that says the profile is in use ("" for none)
    std::string value;       // Setting: the text written (start page, "true"/"false")

    friend bool operator==(const TraceItem&, const TraceItem&) = default;
};

// A profile left alone because its browser has it open.
struct SkippedProfile {
    int option = -1;
    std::string browser;
    std::string profile;
    std::string profileFolder;
    std::string reason;  // "in use by process 1234", "is a symbolic link", …

    friend bool operator==(const SkippedProfile&, const SkippedProfile&) = default;
};

// What an option would erase now, and the profiles it would leave alone.
struct TraceFindings {
    std::vector<TraceItem> items;
    std::vector<SkippedProfile> skipped;
};

// The answer of Apply: empty `error` when the item is erased (or written); a
// location that vanished meanwhile counts as erased.
struct TraceOutcome {
    std::string error;
    [[nodiscard]] bool ok() const noexcept { return error.empty(); }
};

// Ids for the two settings that are not cleaning options.
inline constexpr int kSettingAutoFill = 16;   // chkWebAddress
inline constexpr int kSettingStartPage = 17;  // "Set Home Page" / RestoreStartPage

// Where this machine keeps what each cleaning option erases. Finding changes
// nothing; applying erases exactly one found item, after checking again that its
// profile is not in use and that its path still is what was found.
class ITraceCatalog {
public:
    virtual ~ITraceCatalog() = default;

    // The locations of cleaning option `option` (0…15) that exist now.
    [[nodiscard]] virtual TraceFindings Find(int option) = 0;
    // The browsers' address auto-fill switches, each to be set to `enabled`.
    [[nodiscard]] virtual TraceFindings FindAutoFill(bool enabled) = 0;
    // The browsers' start pages, each to be set to `address`.
    [[nodiscard]] virtual TraceFindings FindStartPage(const std::string& address) = 0;
    // Erases (or, for a Setting, writes) one item that a Find gave.
    [[nodiscard]] virtual TraceOutcome Apply(const TraceItem& item) = 0;
    // For a preview: sets a DatabaseRows item's `rows` and `bytes` to what its edit
    // would change and free, by running it on a copy in memory. Changes nothing.
    virtual void Measure(TraceItem& item) { static_cast<void>(item); }
};

}  // namespace orvelle::traces
