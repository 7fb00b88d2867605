#pragma once

#include <string>

namespace orvelle::os::posix {

// The run-time error for a failed file operation on `path`: the number the program
// uses for this errno, and a description that names the path.
[[noreturn]] void ThrowPathError(int error, const std::string& path);

}  // namespace orvelle::os::posix
