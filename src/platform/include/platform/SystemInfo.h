#pragma once

#include <string>

namespace orvelle::platform {

// Facts about this computer, read once at start.
class ISystemInfo {
public:
    virtual ~ISystemInfo() = default;

    // The computer's name as the system reports it.
    [[nodiscard]] virtual std::string ComputerName() = 0;
    // The operating system's name.
    [[nodiscard]] virtual std::string OsName() = 0;
    // The first local IPv4 address in dotted decimal form, or "0.0.0.0" without a network.
    [[nodiscard]] virtual std::string LocalIp() = 0;
};

}  // namespace orvelle::platform
