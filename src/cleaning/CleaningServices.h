#pragma once

#include "platform/CleaningLock.h"
#include "platform/Clipboard.h"
#include "platform/Clock.h"
#include "platform/EventPump.h"
#include "platform/FolderTree.h"
#include "platform/MessageBox.h"
#include "platform/ProcessInfo.h"
#include "platform/RecycleBin.h"
#include "platform/Registry.h"
#include "platform/SettingsStore.h"
#include "platform/ShellFolders.h"
#include "platform/TempPath.h"
#include "platform/TraceCatalog.h"

namespace orvelle::cleaning {

// What the cleaning pages, their run and the preview work with: the options' store,
// where the traces are, the folder walk, the recycle bins, the clipboard and the lock
// that keeps one clean at a time (shared with orvelle-clean).
struct CleaningServices {
    platform::IRegistry& registry;
    platform::ISettingsStore& settings;
    platform::IMessageBox& messageBox;
    const platform::IProcessInfo& process;
    platform::IEventPump& eventPump;
    const platform::IClock& clock;
    platform::IFolderTree& folderTree;
    platform::IShellFolders& shellFolders;
    platform::ITempPath& tempPath;
    platform::IRecycleBin& recycleBin;
    platform::IClipboard& clipboard;
    platform::ITraceCatalog& traces;
    platform::ICleaningLock& cleaningLock;
};

}  // namespace orvelle::cleaning
