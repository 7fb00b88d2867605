#pragma once

#include "platform/TraceCatalog.h"

#include <string>
#include <vector>

namespace orvelle::traces {

// Deletes the rows `content` names from the SQLite database at `path`, through
// SQLite: busy timeout, foreign keys on (Firefox's ON DELETE CASCADE tables go
// with their pages), one transaction, then a TRUNCATE checkpoint. A table or column
// this version of the browser does not have is skipped. Pages whose address is in
// `keepUrls` (the bookmarked ones) keep their rows. Returns "" or what went wrong;
// on an error nothing of the transaction stays.
[[nodiscard]] std::string EraseRows(const std::string& path, platform::TraceContent content,
                                    const std::vector<std::string>& keepUrls);

// The addresses Firefox's bookmarks point to (places.sqlite, read only).
[[nodiscard]] std::vector<std::string> FirefoxBookmarkedUrls(const std::string& placesPath);
// The addresses of Chromium's "Bookmarks" file; `valid` false when it cannot be read
// as JSON while it exists (then no history may be erased on its strength).
[[nodiscard]] std::vector<std::string> ChromiumBookmarkedUrls(const std::string& bookmarksPath,
                                                              bool& valid);

}  // namespace orvelle::traces
