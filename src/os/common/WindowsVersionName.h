#pragma once

#include <cstdint>
#include <string>

namespace orvelle::os {

// The platform identifiers of the Windows version record.
inline constexpr std::uint32_t VER_PLATFORM_WIN32_WINDOWS = 1;  // the consumer line
inline constexpr std::uint32_t VER_PLATFORM_WIN32_NT = 2;

// The name the program shows for a Windows version record: "Windows 95" … "Windows XP",
// empty for a version of a known line it does not name, "Failed" for an unknown line.
std::string WindowsVersionName(std::uint32_t platformId, std::uint32_t majorVersion,
                               std::uint32_t minorVersion);

}  // namespace orvelle::os
