#pragma once

#include <string>

namespace orvelle::os {

// Facts about this computer, read once at start.
class ISystemInfo {
public:
    virtual ~ISystemInfo() = default;

    // The computer's name as the system reports it (empty when it cannot be read).
    [[nodiscard]] virtual std::string GetComputerNameA() = 0;
    // The operating system's name for people ("Debian GNU/Linux 12 (bookworm)", "Windows XP").
    [[nodiscard]] virtual std::string OsName() = 0;
    // The local IPv4 address in dotted decimal form: the first one of a network that is up,
    // else the loopback address, else "0.0.0.0".
    [[nodiscard]] virtual std::string LocalIp() = 0;
};

}  // namespace orvelle::os
