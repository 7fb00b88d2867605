#pragma once

#include "desktop/MessageBox.h"
#include "os/InstanceLock.h"
#include "os/ProcessInfo.h"
#include "store/ProfileFile.h"

#include <functional>
#include <string>

namespace orvelle::shell {

// Makes sure the encrypted-file extension is entered in "WIN.INI": entry "KDF" of
// section "Extensions" = the program path and " ^.KDF". An existing entry, whatever
// its value, is left alone. True when the entry was written now.
bool EnsureKdfProfileEntry(store::IProfileFile& profile, const std::string& programPath);

// The first code of the program: refuses a second copy (the message box, then false:
// the caller ends the process at once), enters the extension in "WIN.INI", then
// loads and shows the main window. True when the program goes on running. A second
// copy that hands its work to the running one (`handOver` returns true: a file to
// open) ends without the message box.
bool StartProgram(os::IInstanceLock& instanceLock, desktop::IMessageBox& messageBox,
                  store::IProfileFile& profile, const os::IProcessInfo& process,
                  const std::function<void()>& loadAndShowMainWindow,
                  const std::function<bool()>& handOver = {});

}  // namespace orvelle::shell
