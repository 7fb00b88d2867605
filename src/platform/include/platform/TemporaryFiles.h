#pragma once

#include <string>

namespace orvelle::platform {

// Files that hold what only this user may read, in a folder other users can write
// to (the unencrypted temporary archive in the temporary folder).
class ITemporaryFiles {
public:
    virtual ~ITemporaryFiles() = default;

    // Removes the file or link at `path` itself, never what a link points to and
    // never a folder; true when nothing is left at the path.
    [[nodiscard]] virtual bool Remove(const std::string& path) = 0;
    // Creates an empty file at `path` that only this user can read or write
    // (mode 0600). Never follows a link; throws RuntimeError when anything is already
    // there or the file cannot be created.
    virtual void CreateExclusive(const std::string& path) = 0;
};

}  // namespace orvelle::platform
