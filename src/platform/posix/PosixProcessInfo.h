#pragma once

#include "platform/ProcessInfo.h"

#include <string>

namespace orvelle::platform::posix {

// The running executable as /proc/self/exe names it (links resolved).
class PosixProcessInfo final : public IProcessInfo {
public:
    PosixProcessInfo();

    [[nodiscard]] std::string ProgramFolder() const override { return folder_; }
    [[nodiscard]] std::string ExecutableName() const override { return name_; }
    [[nodiscard]] char PathSeparator() const override { return '/'; }

private:
    std::string folder_;
    std::string name_;
};

}  // namespace orvelle::platform::posix
