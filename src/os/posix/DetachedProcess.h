#pragma once

#include <string>
#include <vector>

namespace orvelle::os::posix {

// Starts `command` (its first word a path or a name on $PATH) as a detached process
// (no shell, the default signal mask, standard input from /dev/null, nobody's child to
// reap); 0, or the errno of the failure to find or execute it.
[[nodiscard]] int StartDetached(const std::vector<std::string>& command);

}  // namespace orvelle::os::posix
