// orvelle-reg: the registry store's command-line tool, in the manner of `reg`.

#include "RegCommand.h"
#include "RegistryStoreCheck.h"
#include "SqliteRegistry.h"

#include <algorithm>
#include <cctype>
#include <iostream>

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    const std::string path = orvelle::store::SqliteRegistry::DefaultPath();
    // A damaged store is reported, never repaired or replaced from here: the program
    // moves it aside at its next start. Trouble around a store is named as what it is.
    const auto status = orvelle::store::InspectRegistryStore(path);
    if (status.state == orvelle::store::RegistryStoreState::Damaged) {
        std::cerr << "ERROR: The registry store " << path << " is damaged (" << status.reason
                  << ").\n";
        return 1;
    }
    if (status.state == orvelle::store::RegistryStoreState::Unusable) {
        std::cerr << "ERROR: The registry store " << path << " cannot be read as it is ("
                  << status.reason << ").\n";
        return 1;
    }
    orvelle::store::SqliteRegistry registry(path);
    if (!registry.IsOpen()) {
        std::cerr << "ERROR: Cannot open the registry store " << registry.Path() << " ("
                  << registry.LastError() << ").\n";
        return 1;
    }
    const int code =
        orvelle::regtool::RunRegCommand(arguments, registry, std::cin, std::cout, std::cerr);
    std::string operation = arguments.empty() ? std::string() : arguments[0];
    std::transform(operation.begin(), operation.end(), operation.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (code != 0 && (operation == "add" || operation == "delete") &&
        !registry.LastError().empty()) {
        std::cerr << "ERROR: The registry store " << path << ": " << registry.LastError() << ".\n";
    }
    return code;
}
