#include "WindowsVersionName.h"

namespace orvelle::os {

std::string WindowsVersionName(std::uint32_t platformId, std::uint32_t majorVersion,
                               std::uint32_t minorVersion) {
    switch (platformId) {
    case VER_PLATFORM_WIN32_WINDOWS:
        if (minorVersion == 0) {
            return "Windows 95";
        }
        if (minorVersion == 10) {
            return "Windows 98";
        }
        return {};
    case VER_PLATFORM_WIN32_NT:
        // The major version alone decides: 5.1 is still named "Windows 2000" and every
        // 6.x "Windows XP", the names this label has always shown.
        switch (majorVersion) {
        case 3:
            return "Windows NT 3.51";
        case 4:
            return "Windows NT 4.0";
        case 5:
            return "Windows 2000";
        case 6:
            return "Windows XP";
        default:
            return {};
        }
    default:
        return "Failed";
    }
}

}  // namespace orvelle::os
