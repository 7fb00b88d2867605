#pragma once

#include "os/FileSystem.h"

namespace orvelle::os::posix {

class PosixFileSystem final : public IFileSystem {
public:
    [[nodiscard]] bool FileExists(const std::string& path) override;
    bool DeleteFile(const std::string& path) override;
    [[nodiscard]] std::vector<std::string> ReadLines(const std::string& path) override;
    void WriteFileAtomic(const std::string& path, const std::string& content) override;
};

// The run-time error for a failed file operation with this errno.
[[noreturn]] void ThrowFileError(int error);

}  // namespace orvelle::os::posix
