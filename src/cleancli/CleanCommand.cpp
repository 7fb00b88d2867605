#include "CleanCommand.h"

#include "CleanArguments.h"
#include "CleanVerbs.h"

namespace orvelle::cleancli {

int RunCleanCommand(const std::vector<std::string>& arguments, const CommandOutput& output) {
    CleanArguments parsed;
    std::string error;
    if (!ParseCleanArguments(arguments, parsed, error)) {
        output.err << kCommandName << ": " << error << "\nTry \"" << kCommandName << " --help\".\n";
        return 2;
    }
    return MakeVerb(parsed)->Run(output);
}

}  // namespace orvelle::cleancli
