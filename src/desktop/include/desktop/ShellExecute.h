#pragma once

#include "desktop/WindowHandle.h"

#include <string>

namespace orvelle::desktop {

// Result codes of the two calls: above 32 is success.
inline constexpr int kShellSuccess = 42;
inline constexpr int SE_ERR_FNF = 2;
inline constexpr int SE_ERR_PNF = 3;
inline constexpr int SE_ERR_ACCESSDENIED = 5;
inline constexpr int SE_ERR_OOM = 8;
inline constexpr int ERROR_BAD_FORMAT = 11;
inline constexpr int SE_ERR_NOASSOC = 31;

inline constexpr int SW_SHOWNOACTIVATE = 4;

// The desktop's file associations: which program opens a file, and starting programs.
class IShellExecute {
public:
    virtual ~IShellExecute() = default;

    // The program associated with the existing `file`'s type, as a path that ShellExecuteA
    // can start; the result code is > 32 on success, SE_ERR_NOASSOC when there is none.
    virtual int FindExecutableA(const std::string& file, std::string& executable) = 0;
    // Starts `file` (a program, or a document with its associated program) with
    // `parameters` as its arguments, split as a shell splits quoted text but never run by a
    // shell; does not wait for it. The result code is > 32 on success.
    virtual int ShellExecuteA(WindowHandle parent, const std::string& operation,
                              const std::string& file, const std::string& parameters,
                              int showCommand) = 0;
};

}  // namespace orvelle::desktop
