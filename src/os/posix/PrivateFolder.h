#pragma once

#include <string>

namespace orvelle::os::posix {

// A folder only this user can write, with a trailing "/": $XDG_RUNTIME_DIR when it is
// ours, else "orvelle-<uid>" in the temporary folder (made 0700, refused when it is a
// link or someone else's), else a fresh 0700 folder there. "" when none can be had.
std::string PrivateFolder();

}  // namespace orvelle::os::posix
