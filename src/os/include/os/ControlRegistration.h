#pragma once

#include <string>

namespace orvelle::os {

// Registers control libraries the way their own registration entry point does, so
// that IControlFactory finds their controls by identifier afterwards.
class IControlRegistration {
public:
    virtual ~IControlRegistration() = default;

    // The library that holds the control `progId` as installed with the program.
    [[nodiscard]] virtual std::string InstalledLibrary(const std::string& progId) const = 0;
    // Registers every control of the library at `libraryPath`; false when it could
    // not (the file is missing or unusable, or the registry store cannot be written).
    [[nodiscard]] virtual bool RegisterServer(const std::string& libraryPath) = 0;
};

}  // namespace orvelle::os
