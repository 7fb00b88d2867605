#pragma once

#include <optional>
#include <set>
#include <string>
#include <vector>

namespace orvelle::cleancli {

enum class CleanMode { Help, List, Preview, Run };

struct CleanArguments {
    CleanMode mode = CleanMode::Help;
    std::optional<std::set<int>> only;  // --only: exactly these options, whatever is stored
    bool json = false;
    bool noWait = false;        // --run: refuse instead of waiting for another clean
    std::string programFolder;  // --program-folder: the settings' application name
};

// Parses the command line (without the program name); false with `error` set for
// anything it does not know, a missing or repeated mode, a bad --only list.
[[nodiscard]] bool ParseCleanArguments(const std::vector<std::string>& arguments,
                                       CleanArguments& parsed, std::string& error);

// The text of --help.
[[nodiscard]] std::string UsageText();

}  // namespace orvelle::cleancli
