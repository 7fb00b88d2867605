// orvelle-clean: Orvelle's cleaning from a terminal or a timer.

#include "CleanCommand.h"

#include <unistd.h>

#include <iostream>

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const orvelle::cleancli::CommandOutput output{
        std::cout, std::cerr, ::isatty(STDOUT_FILENO) == 1, ::isatty(STDERR_FILENO) == 1};
    return orvelle::cleancli::RunCleanCommand(arguments, output);
}
