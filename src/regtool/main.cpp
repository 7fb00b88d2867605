// orvelle-reg: the registry store's command-line tool, in the manner of `reg`.

#include "RegCommand.h"
#include "SqliteRegistry.h"

#include <iostream>

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    orvelle::platform::posix::SqliteRegistry registry(
        orvelle::platform::posix::SqliteRegistry::DefaultPath());
    if (!registry.IsOpen()) {
        std::cerr << "ERROR: Cannot open the registry store " << registry.Path() << ".\n";
        return 1;
    }
    return orvelle::regtool::RunRegCommand(arguments, registry, std::cin, std::cout, std::cerr);
}
