#pragma once

#include "desktop/Clipboard.h"
#include "desktop/MessageBox.h"
#include "os/CleaningLock.h"
#include "os/Clock.h"
#include "os/EventPump.h"
#include "os/FolderTree.h"
#include "os/ProcessInfo.h"
#include "os/RecycleBin.h"
#include "os/ShellFolders.h"
#include "os/TempPath.h"
#include "store/Registry.h"
#include "store/SettingsStore.h"
#include "traces/TraceCatalog.h"

namespace orvelle::cleaning {

// What the cleaning pages, their run and the preview work with: the options' store,
// where the traces are, the folder walk, the recycle bins, the clipboard and the lock
// that keeps one clean at a time (shared with orvelle-clean).
struct CleaningServices {
    store::IRegistry& registry;
    store::ISettingsStore& settings;
    desktop::IMessageBox& messageBox;
    const os::IProcessInfo& process;
    os::IEventPump& eventPump;
    const os::IClock& clock;
    os::IFolderTree& folderTree;
    os::IShellFolders& shellFolders;
    os::ITempPath& tempPath;
    os::IRecycleBin& recycleBin;
    desktop::IClipboard& clipboard;
    traces::ITraceCatalog& traces;
    os::ICleaningLock& cleaningLock;
};

}  // namespace orvelle::cleaning
