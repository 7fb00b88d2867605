#pragma once

#include <string>

namespace orvelle::os {

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
    // The folder of the program's read-only data files ("ding.wav"): the program folder
    // when they lie beside the executable, else the folder they are installed in.
    [[nodiscard]] virtual std::string DataFolder() const = 0;
    // Whether the program folder may hold this user's own files ("wavpath.txt"): the user
    // can write it and it is not an installation that every user shares.
    [[nodiscard]] virtual bool ProgramFolderKeepsUserFiles() const = 0;
    // The user's own folder for the program's files when the program folder cannot hold
    // them, created when missing.
    [[nodiscard]] virtual std::string UserFilesFolder() const = 0;
};

}  // namespace orvelle::os
