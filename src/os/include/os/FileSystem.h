#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orvelle::os {

// Plain file operations the program needs outside the cleaning walk.
class IFileSystem {
public:
    virtual ~IFileSystem() = default;

    // True only for an existing regular file (a folder counts as missing).
    [[nodiscard]] virtual bool FileExists(const std::string& path) = 0;
    // Deletes one file (never a link's target); false when it could not.
    virtual bool DeleteFile(const std::string& path) = 0;
    // The file's lines (CR LF or LF endings); throws RuntimeError 53 when it is missing.
    [[nodiscard]] virtual std::vector<std::string> ReadLines(const std::string& path) = 0;
    // Replaces the file's content atomically; throws RuntimeError on failure.
    virtual void WriteFileAtomic(const std::string& path, const std::string& content) = 0;
};

}  // namespace orvelle::os
