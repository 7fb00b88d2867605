#pragma once

#include <string>

namespace orvelle::os {

// The user's temporary-files folder.
class ITempPath {
public:
    virtual ~ITempPath() = default;

    // The folder with a trailing separator, or the empty text when none can be given.
    [[nodiscard]] virtual std::string GetTempPathA() = 0;
};

}  // namespace orvelle::os
