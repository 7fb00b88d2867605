#pragma once

#include <functional>
#include <string>

namespace orvelle::platform {

// Progress 0 … 100 of an archive step.
using ArchiveProgress = std::function<void(int percent)>;

// Packs every file of a folder, recursively with relative paths, into one ZIP file.
class IArchiveWriter {
public:
    virtual ~IArchiveWriter() = default;

    // Builds `archivePath` from the folder; returns when the file is complete.
    // Throws RuntimeError on failure.
    virtual void PackFolder(const std::string& folder, const std::string& archivePath,
                            const ArchiveProgress& progress) = 0;
};

// Extracts such a file into a folder; nothing is ever written outside it.
class IArchiveReader {
public:
    virtual ~IArchiveReader() = default;

    // Throws RuntimeError on failure (a damaged archive, an entry leading outside).
    virtual void ExtractTo(const std::string& archivePath, const std::string& folder,
                           const ArchiveProgress& progress) = 0;
};

}  // namespace orvelle::platform
