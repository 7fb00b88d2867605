#pragma once

#include "os/SystemInfo.h"

#include <string>
#include <vector>

namespace orvelle::os::posix {

// Computer name from gethostname, system name from os-release, address from getifaddrs.
class PosixSystemInfo final : public ISystemInfo {
public:
    // `osReleaseFiles`: the os-release files, first found wins.
    explicit PosixSystemInfo(std::vector<std::string> osReleaseFiles = {"/etc/os-release",
                                                                        "/usr/lib/os-release"});

    [[nodiscard]] std::string GetComputerNameA() override;
    [[nodiscard]] std::string OsName() override;
    [[nodiscard]] std::string LocalIp() override;

private:
    std::vector<std::string> osReleaseFiles_;
};

// The name an os-release file gives the system: PRETTY_NAME, else NAME and VERSION;
// empty when it names none.
std::string OsReleaseName(const std::string& content);

// One IPv4 address of a network interface.
struct InterfaceAddress {
    std::string address;  // dotted decimal
    bool up = false;
    bool loopback = false;
};

// The address to show: the first of an interface that is up and not the loopback, else the
// first loopback address, else "0.0.0.0".
std::string ChooseLocalIp(const std::vector<InterfaceAddress>& addresses);

}  // namespace orvelle::os::posix
