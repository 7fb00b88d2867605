#pragma once

#include "traces/TraceCatalog.h"

#include <cstdint>
#include <string>
#include <vector>

namespace orvelle::traces {

// Deletes the rows `content` names from the SQLite database at `path`, through
// SQLite: busy timeout, secure_delete on (and read back: freed pages are zeroed
// whatever this SQLite's default), one transaction in which every declared
// ON DELETE CASCADE key is applied (Firefox's metadata tables go with their pages) and
// no other key may be left dangling; then, when rows went, VACUUM if the
// file system has room for twice the database, and a TRUNCATE checkpoint. A table or
// column this version of the browser does not have is skipped. Pages whose address
// is in `keepUrls` (the bookmarked ones) keep their rows. Returns "" or what went
// wrong (a database that was cleaned but not compacted says why); on an error
// nothing of the transaction stays.
[[nodiscard]] std::string EraseRows(const std::string& path, traces::TraceContent content,
                                    const std::vector<std::string>& keepUrls);

// What EraseRows would change and free, found by running the same edit, VACUUM and
// checkpoint on a private copy of the database and its -wal; the original is only read.
struct RowsEstimate {
    std::uint64_t rows = 0;   // rows deleted or changed
    std::uint64_t bytes = 0;  // bytes the file and its -wal would shrink by
};
[[nodiscard]] RowsEstimate MeasureRows(const std::string& path, traces::TraceContent content,
                                       const std::vector<std::string>& keepUrls);

// The free space on the file system `folder` is on; 0 when it cannot be read.
[[nodiscard]] std::uint64_t FreeSpace(const std::string& folder);

// The addresses Firefox's bookmarks point to (places.sqlite, read only; `untouched`:
// read from a private copy, so that not even its -shm is written).
[[nodiscard]] std::vector<std::string> FirefoxBookmarkedUrls(const std::string& placesPath,
                                                             bool untouched = false);
// The addresses of Chromium's "Bookmarks" file; `valid` false when it cannot be read
// as JSON while it exists (then no history may be erased on its strength).
[[nodiscard]] std::vector<std::string> ChromiumBookmarkedUrls(const std::string& bookmarksPath,
                                                              bool& valid);

}  // namespace orvelle::traces
