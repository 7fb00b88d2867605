#pragma once

#include <string>

namespace orvelle::platform {

// Where the running program lives.
class IProcessInfo {
public:
    virtual ~IProcessInfo() = default;

    // The folder that holds the executable, without a trailing separator.
    [[nodiscard]] virtual std::string ProgramFolder() const = 0;
    // The executable's file name ("orvelle" here, "Orvelle.exe" on Windows).
    [[nodiscard]] virtual std::string ExecutableName() const = 0;
    // The separator the platform puts between folder and name.
    [[nodiscard]] virtual char PathSeparator() const = 0;
};

}  // namespace orvelle::platform
