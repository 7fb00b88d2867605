#pragma once

#include <string>
#include <vector>

namespace orvelle::platform {

// The shell's file associations: which program opens a file, and starting it.
class IShellExecute {
public:
    virtual ~IShellExecute() = default;

    // The executable associated with the file's type; the result code is > 32 on success.
    virtual int FindExecutableA(const std::string& file, std::string& executable) = 0;
    // Starts `file` with `parameters` as its arguments (split as a shell would split
    // quoted text, never run by a shell); the result code is > 32 on success.
    virtual int ShellExecuteA(const std::string& operation, const std::string& file,
                              const std::string& parameters, int showCommand) = 0;
};

}  // namespace orvelle::platform
