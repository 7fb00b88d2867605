#pragma once

#include "os/TempFile.h"

namespace orvelle::os::posix {

// Temporary files made with O_EXCL|O_NOFOLLOW and mode 0600, removed with unlink.
class PosixTempFile final : public ITempFile {
public:
    [[nodiscard]] std::string PrivateFolder() override;
    void Create(const std::string& path, const std::string& content) override;
    void Remove(const std::string& path) override;
};

}  // namespace orvelle::os::posix
