#pragma once

#include <archive.h>
#include <archive_entry.h>

#include <memory>
#include <string>

namespace orvelle::filesecurity::libarchive {

// Owners of libarchive's handles: freeing a handle also closes it.
struct ArchiveFree {
    void operator()(archive* handle) const noexcept;
};
struct ArchiveEntryFree {
    void operator()(archive_entry* entry) const noexcept { archive_entry_free(entry); }
};

using ArchiveHandle = std::unique_ptr<archive, ArchiveFree>;
using ArchiveEntryHandle = std::unique_ptr<archive_entry, ArchiveEntryFree>;

inline void ArchiveFree::operator()(archive* handle) const noexcept {
    // archive_free closes a reader or writer first; a failing close here is only
    // reached after an earlier error, which the caller has reported already.
    static_cast<void>(archive_free(handle));
}

// libarchive's description of the handle's last failure.
inline std::string ArchiveErrorText(archive* handle) {
    const char* text = archive_error_string(handle);
    return text != nullptr ? text : "unknown failure";
}

}  // namespace orvelle::filesecurity::libarchive
