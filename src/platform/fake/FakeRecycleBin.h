#pragma once

#include "platform/RecycleBin.h"
#include "platform/RuntimeError.h"

#include <string>

namespace orvelle::platform::fake {

// Counts the emptyings; can fail the way a broken shell would.
class FakeRecycleBin final : public IRecycleBin {
public:
    bool EmptyAll() override {
        ++emptied;
        if (throwOnEmpty) {
            throw RuntimeError(errors::kDeviceIoError, "Device I/O error");
        }
        return result;
    }
    [[nodiscard]] std::string Location() override { return location; }

    int emptied = 0;
    bool result = true;
    bool throwOnEmpty = false;
    std::string location = "/home/u/.local/share/Trash";
};

}  // namespace orvelle::platform::fake
