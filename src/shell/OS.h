#pragma once

#include "desktop/MessageBox.h"
#include "desktop/ShellExecute.h"
#include "desktop/WindowHandle.h"
#include "os/SystemInfo.h"
#include "os/TempFile.h"

#include <string>

namespace orvelle::shell {

// The operating system's name for the Main page.
std::string GetOsName(os::ISystemInfo& systemInfo);

// The associated program's path up to and including its first ".EXE" (in any letter case),
// trimmed; a path without ".EXE", as every program path on Linux is, is kept whole.
std::string CutAfterExe(const std::string& executable);

// What OpenWebPage works with.
struct WebPageServices {
    os::ITempFile& tempFile;
    desktop::IShellExecute& shell;
    desktop::IMessageBox& messageBox;
};

// Opens `address` in the program associated with files of `extension` ("htm"), found
// through a short-lived file "temphtm.<extension>" in a folder only this user can write
// (in a shared temporary folder another user could take the name first). Failures end
// in the program's own messages; nothing is thrown.
void OpenWebPage(const WebPageServices& services, desktop::WindowHandle form,
                 const std::string& address, const std::string& extension);

}  // namespace orvelle::shell
