#pragma once

#include "browsers/BrowserTable.h"

#include <string>
#include <vector>

namespace orvelle::browsers::extension {

// The browsers of the browser table that have a profile on this computer, by
// whether they can reach Orvelle's native host: a snap or flatpak browser cannot
// (Debian 12 has no portal for native messaging).
struct FoundBrowsers {
    std::vector<std::string> reachable;
    std::vector<std::string> sandboxed;
};

// Looks for each row's profile root under `folders` (each name once).
[[nodiscard]] FoundBrowsers FindBrowsers(const browsers::BaseFolders& folders);

// The one line that tells how to connect a browser when none is.
[[nodiscard]] std::string ConnectionHint(const FoundBrowsers& found);

}  // namespace orvelle::browsers::extension
