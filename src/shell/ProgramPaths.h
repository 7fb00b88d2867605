#pragma once

#include "os/ProcessInfo.h"

#include <string>

namespace orvelle::shell {

// The program folder, the separator and the executable's name.
inline std::string ProgramPath(const os::IProcessInfo& process) {
    return process.ProgramFolder() + process.PathSeparator() + process.ExecutableName();
}

// A file in the program folder.
inline std::string ProgramFile(const os::IProcessInfo& process, const std::string& name) {
    return process.ProgramFolder() + process.PathSeparator() + name;
}

}  // namespace orvelle::shell
