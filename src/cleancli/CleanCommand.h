#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace orvelle::cleancli {

// Where the command writes, and whether each is a terminal (colours and the
// progress line only there).
struct CommandOutput {
    std::ostream& out;
    std::ostream& err;
    bool outIsTerminal = false;
    bool errIsTerminal = false;
};

// orvelle-clean: --list, --preview and --run over the program's own cleaning
// options, run and trace catalog, with this user's real files and stores.
// Returns the exit code: 0 done, 1 a step logged an error, 2 bad arguments,
// 3 another clean is running and --no-wait was given.
[[nodiscard]] int RunCleanCommand(const std::vector<std::string>& arguments,
                                  const CommandOutput& output);

}  // namespace orvelle::cleancli
