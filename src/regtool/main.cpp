// orvelle-reg: the registry store's command-line tool, in the manner of `reg`.

#include "RegCommand.h"
#include "RegistryStoreCheck.h"
#include "SqliteRegistry.h"

#include <iostream>

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    const std::string path = orvelle::platform::posix::SqliteRegistry::DefaultPath();
    // A damaged store is reported, never repaired or replaced from here: the program
    // moves it aside at its next start.
    if (const auto damage = orvelle::platform::posix::CheckRegistryStore(path)) {
        std::cerr << "ERROR: The registry store " << path << " is damaged (" << *damage << ").\n";
        return 1;
    }
    orvelle::platform::posix::SqliteRegistry registry(path);
    if (!registry.IsOpen()) {
        std::cerr << "ERROR: Cannot open the registry store " << registry.Path() << ".\n";
        return 1;
    }
    return orvelle::regtool::RunRegCommand(arguments, registry, std::cin, std::cout, std::cerr);
}
