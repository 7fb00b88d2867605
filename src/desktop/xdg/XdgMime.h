#pragma once

#include "DesktopEntry.h"

#include <optional>
#include <string>
#include <vector>

namespace orvelle::desktop::xdg {

// Where the freedesktop MIME database and the application associations are looked for,
// most important first.
struct XdgSearchPaths {
    std::vector<std::string> configDirs;  // $XDG_CONFIG_HOME, then $XDG_CONFIG_DIRS
    std::vector<std::string> dataDirs;    // $XDG_DATA_HOME, then $XDG_DATA_DIRS
    std::vector<std::string> desktops;    // $XDG_CURRENT_DESKTOP, lower case

    // Read from the environment, with the freedesktop defaults.
    static XdgSearchPaths FromEnvironment();
};

// The MIME type of a file by its name, from the shared MIME database's globs (the web-page
// extensions are known without one); empty when unknown.
std::string MimeTypeForFileName(const XdgSearchPaths& paths, const std::string& fileName);

// An installed application found through its desktop file.
struct DesktopApplication {
    std::string path;  // the .desktop file
    DesktopEntry entry;
};

// The desktop file of an application by its id ("org.example.Browser.desktop"); nullopt when
// it is not installed, hidden, or cannot be started.
std::optional<DesktopApplication> FindDesktopApplication(const XdgSearchPaths& paths,
                                                         const std::string& id);

// The default application for a MIME type: the mimeapps.list defaults, then added
// associations, then any installed application that declares the type; nullopt when none.
std::optional<DesktopApplication> DefaultApplicationFor(const XdgSearchPaths& paths,
                                                        const std::string& mimeType);

}  // namespace orvelle::desktop::xdg
