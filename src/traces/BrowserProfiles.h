#pragma once

#include "traces/TraceCatalog.h"

#include <string>
#include <vector>

namespace orvelle::traces {

enum class BrowserFamily { Firefox, Chromium };

// One profile that a browser's own index names, with the folders derived from it.
struct BrowserProfile {
    BrowserFamily family = BrowserFamily::Firefox;
    std::string browser;      // "Firefox", "Chromium", "Google Chrome", …
    std::string name;         // the profile's name in the index
    std::string folder;       // the profile folder
    std::string cacheFolder;  // where the browser keeps this profile's cache ("" if none)
    std::string lockFile;     // Firefox: <folder>/lock; Chromium: <root>/SingletonLock
};

// The base folders every location is derived from; the environment's by default.
struct HomeFolders {
    std::string home;
    std::string configHome;
    std::string dataHome;
    std::string cacheHome;
    std::string stateHome;

    [[nodiscard]] static HomeFolders FromEnvironment();
};

struct ProfileList {
    std::vector<BrowserProfile> profiles;
    // Profiles an index names that are never cleaned (a symbolic link, the home
    // folder, a name that leaves its root); `option` is left at -1.
    std::vector<traces::SkippedProfile> refused;
};

// Every profile of every root in the browser table (browsers/BrowserTable.h): Firefox's
// from profiles.ini and installs.ini, the Chromium family's from "Local State". Nothing
// is globbed: a folder no index names is not a profile.
[[nodiscard]] ProfileList FindBrowserProfiles(const HomeFolders& folders);

// Why the browser has this profile open now ("" when it does not), from its lock:
// Firefox's `lock` (a dangling symbolic link "address:+PID") and the fcntl lock on
// `.parentlock`; Chromium's `SingletonLock` ("HOST-PID", for the whole user data
// folder). A lock whose process is gone on this host is stale.
[[nodiscard]] std::string ProfileInUse(const std::string& lockFile);

}  // namespace orvelle::traces
