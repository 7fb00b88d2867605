#pragma once

#include "os/RecycleBin.h"
#include "os/RuntimeError.h"

#include <string>
#include <utility>
#include <vector>

namespace orvelle::os::fake {

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
    [[nodiscard]] std::vector<DeleteFailure> TakeFailures() override {
        return std::exchange(failures, {});
    }

    int emptied = 0;
    bool result = true;
    bool throwOnEmpty = false;
    std::string location = "/home/u/.local/share/Trash";
    std::vector<DeleteFailure> failures;  // what the next emptying reports it could not delete
};

}  // namespace orvelle::os::fake
