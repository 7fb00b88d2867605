#pragma once

#include "platform/TemporaryFiles.h"

namespace orvelle::platform::posix {

// O_CREAT|O_EXCL|O_NOFOLLOW with mode 0600; removal with unlink, which removes a
// link itself and never its target.
class PosixTemporaryFiles final : public ITemporaryFiles {
public:
    [[nodiscard]] bool Remove(const std::string& path) override;
    void CreateExclusive(const std::string& path) override;
};

}  // namespace orvelle::platform::posix
