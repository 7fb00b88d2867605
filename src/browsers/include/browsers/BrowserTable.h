#pragma once

#include <span>
#include <string>
#include <vector>

// The one table of the browsers Orvelle knows on Linux: where each keeps its profiles
// and its cache, per packaging. The cleaner, its preview and the pop-up killer all read
// it; adding a browser is adding one row in BrowserTable.cpp. Standard C++ only.
namespace orvelle::browsers {

enum class Family {
    Firefox,   // profiles named by profiles.ini / installs.ini in the profile root
    Chromium,  // profiles named by "Local State" (profile.info_cache) in the profile root
};

enum class Packaging { Deb, Snap, Flatpak };

// The folder a row's relative path starts from.
enum class Base {
    Home,        // the home folder
    ConfigHome,  // $XDG_CONFIG_HOME (~/.config)
    CacheHome,   // $XDG_CACHE_HOME (~/.cache)
};

struct Location {
    Base base;
    const char* relative;  // never empty, never absolute, no trailing '/'
};

// One row of the table.
struct Browser {
    const char* name;  // as logs and the preview name it: "Chromium (snap)", "Brave", …
    Family family;
    Packaging packaging;
    // Firefox: the folder holding profiles.ini. Chromium family: the user data folder
    // holding "Local State" and one folder per profile ("Default", "Profile 1", …).
    Location profileRoot;
    // The folder holding one cache folder per profile, named like the profile's own
    // (its path relative to the profile root).
    Location cacheRoot;
};

// Every row, Firefox first, each packaging's rows in the order their roots are tried.
// A root may appear in two rows only when two packagings share it (none do today).
[[nodiscard]] std::span<const Browser> AllBrowsers();

// The folders a row's Base stands for. Each must be an absolute path without a
// trailing '/'; an empty one leaves the rows based on it out of the resolution.
struct BaseFolders {
    std::string home;
    std::string configHome;
    std::string cacheHome;
};

// A row with its two roots as absolute paths.
struct ResolvedBrowser {
    const Browser* row;
    std::string profileRoot;
    std::string cacheRoot;
};

// `location` as an absolute path under `folders` ("" when its base folder is empty).
[[nodiscard]] std::string Resolve(const Location& location, const BaseFolders& folders);

// Every row of `family` resolved against `folders`, in table order. Nothing is checked
// on disk: a root that does not exist is still listed.
[[nodiscard]] std::vector<ResolvedBrowser> ResolveBrowsers(const BaseFolders& folders,
                                                           Family family);

}  // namespace orvelle::browsers
