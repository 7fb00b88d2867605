#pragma once

#include <memory>
#include <string>

namespace orvelle::os {

// A file that holds what only this user may read, alive while its handle lives:
// dropping the handle removes it, and a killed process leaves nothing behind.
class ITemporaryFile {
public:
    virtual ~ITemporaryFile() = default;

    // A path that opens this very file while the handle lives (for the archive
    // components and the cipher control).
    [[nodiscard]] virtual std::string Path() const = 0;
};

// Files that hold what only this user may read, in a folder other users can write
// to (the unencrypted temporary archive in the temporary folder).
class ITemporaryFiles {
public:
    virtual ~ITemporaryFiles() = default;

    // Removes the file or link at `path` itself, never what a link points to and
    // never a folder; true when nothing is left at the path.
    [[nodiscard]] virtual bool Remove(const std::string& path) = 0;
    // Creates a new empty file in `folder` that only this user can read or write
    // (mode 0600). It has no name where the file system allows; where not, it is
    // `name` in that folder (never through a link, never over anything already
    // there) and is removed at the next start if a killed process leaves it.
    // Throws RuntimeError (naming folder + name) when it cannot be created.
    [[nodiscard]] virtual std::unique_ptr<ITemporaryFile> Create(const std::string& folder,
                                                                 const std::string& name) = 0;
    // Removes the named files that killed processes left behind. Never throws.
    virtual void RemoveLeftovers() = 0;
};

}  // namespace orvelle::os
