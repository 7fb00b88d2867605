#pragma once

#include "os/TempPath.h"

namespace orvelle::os::posix {

// $TMPDIR when set and absolute, else /tmp; always with a trailing "/".
class PosixTempPath final : public ITempPath {
public:
    [[nodiscard]] std::string GetTempPathA() override;
};

}  // namespace orvelle::os::posix
