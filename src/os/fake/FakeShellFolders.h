#pragma once

#include "os/RuntimeError.h"
#include "os/ShellFolders.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace orvelle::os::fake {

// Special folders from a table; an id not in the table fails the lookup.
class FakeShellFolders final : public IShellFolders {
public:
    [[nodiscard]] std::optional<std::string> SHGetSpecialFolderPathA(int csidl) override {
        asked.push_back(csidl);
        if (throwFor == csidl) {
            throw RuntimeError(errors::kDeviceIoError, "Device I/O error");
        }
        const auto found = folders.find(csidl);
        if (found == folders.end()) {
            return std::nullopt;
        }
        return found->second;
    }

    std::map<int, std::string> folders;
    std::vector<int> asked;
    int throwFor = -1;  // this id raises a run-time error instead of answering
};

}  // namespace orvelle::os::fake
