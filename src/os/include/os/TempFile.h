#pragma once

#include <string>

namespace orvelle::os {

// Short-lived files of the program in the temporary folder.
class ITempFile {
public:
    virtual ~ITempFile() = default;

    // A folder that only this user can write, with a trailing separator, so that no other
    // user can plant a file of the name first; the empty text when there is none.
    [[nodiscard]] virtual std::string PrivateFolder() = 0;
    // Creates `path` afresh with `content`, readable by the user only: an earlier file of
    // that name is removed first and a symbolic link is never followed. Throws RuntimeError.
    virtual void Create(const std::string& path, const std::string& content) = 0;
    // Removes `path` (a link itself, never its target); a missing file is no error.
    // Throws RuntimeError.
    virtual void Remove(const std::string& path) = 0;
};

}  // namespace orvelle::os
