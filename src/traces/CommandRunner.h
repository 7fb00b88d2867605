#pragma once

#include <string>
#include <vector>

namespace orvelle::traces {

// Runs a program with `argv` (argv[0] looked up in PATH), no shell, its output
// discarded; waits at most `timeoutMs` and ends it after that. Returns its exit
// status, or -1 when it could not start, was ended, or timed out.
[[nodiscard]] int RunCommand(const std::vector<std::string>& argv, int timeoutMs = 5000);

}  // namespace orvelle::traces
