#pragma once

#include "os/StartupList.h"
#include "store/Registry.h"

#include <string>

namespace orvelle::shell {

inline constexpr const char* kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// Writes (enabled) or deletes the program's start-up entry: the string value
// "Orvelle" = the program path under the per-user Run key, and the desktop's own
// autostart entry of the same name. Run once, when the program ends.
void SetRunAtStartup(store::IRegistry& registry, os::IStartupList& startupList,
                     const std::string& programPath, bool enabled);

}  // namespace orvelle::shell
