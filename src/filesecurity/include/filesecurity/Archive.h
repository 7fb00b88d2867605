#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace orvelle::filesecurity {

// Progress 0 … 100 of an archive step; every point is delivered.
using ArchiveProgress = std::function<void(int percent)>;

// An entry that an archive step left out, and why, so that the user can be told.
struct SkippedEntry {
    std::string name;    // the entry's relative path
    std::string reason;  // a short sentence

    friend bool operator==(const SkippedEntry&, const SkippedEntry&) = default;
};

// Packs every file of a folder, recursively with relative paths, into one ZIP file.
class IArchiveWriter {
public:
    virtual ~IArchiveWriter() = default;

    // Builds `archivePath` from everything below `folder`: files, folders (empty ones
    // too) and links (stored as links, never followed). The archive file is written in
    // place, never through a link and never into another user's file, and is complete
    // when the call returns (the build's completion). The user interface gets its turn
    // while the work goes on. Returns what could not be packed (devices, FIFOs,
    // sockets); throws RuntimeError on failure. The archive itself, and the file
    // `leaveOut` (the encrypted archive's destination, which may lie in the folder;
    // empty for none), are not packed: the same file under any name or link.
    [[nodiscard]] virtual std::vector<SkippedEntry> PackFolder(const std::string& folder,
                                                               const std::string& archivePath,
                                                               const ArchiveProgress& progress,
                                                               const std::string& leaveOut) = 0;
};

// What an extraction does with a file or link of the folder that has the name of
// an entry (folders are merged either way).
enum class ExistingFiles { Replace, Keep };

// Extracts such a file (or a ZIP file made elsewhere) into a folder.
class IArchiveReader {
public:
    virtual ~IArchiveReader() = default;

    // How many files and links of `archivePath` would land where `folder` already
    // has something (0 when the folder is missing); an entry that would be left
    // out is not counted. Throws RuntimeError on a damaged archive.
    [[nodiscard]] virtual std::size_t CountExisting(const std::string& archivePath,
                                                    const std::string& folder) = 0;
    // Extracts `archivePath` into `folder` (created when missing); a file of the
    // same name as an entry is replaced in one step or kept, as `existing` says
    // (kept ones are not reported). Nothing is ever written outside the folder:
    // entries with an absolute path or "..", links leading out of it and entries
    // that would pass through a link are left out and returned with the reason. A
    // file being written has no name until it is complete, so an interrupted
    // extraction leaves only whole files. Returns at the extraction's completion;
    // throws RuntimeError on a damaged archive or a failed write.
    [[nodiscard]] virtual std::vector<SkippedEntry> ExtractTo(const std::string& archivePath,
                                                              const std::string& folder,
                                                              const ArchiveProgress& progress,
                                                              ExistingFiles existing) = 0;
};

}  // namespace orvelle::filesecurity
