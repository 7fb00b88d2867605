#pragma once

#include "filesecurity/Archive.h"
#include "browsers/BrowserSource.h"
#include "os/CleaningLock.h"
#include "desktop/Clipboard.h"
#include "os/Clock.h"
#include "os/ControlFactory.h"
#include "os/ControlRegistration.h"
#include "os/EventPump.h"
#include "desktop/FileDialogs.h"
#include "os/FileSystem.h"
#include "desktop/FileTypeAssociation.h"
#include "os/FolderTree.h"
#include "popup/HiddenWindowsFile.h"
#include "popup/HookLibrary.h"
#include "desktop/KeyState.h"
#include "desktop/MessageBox.h"
#include "os/ProcessInfo.h"
#include "store/ProfileFile.h"
#include "os/RecycleBin.h"
#include "store/Registry.h"
#include "store/SettingsStore.h"
#include "desktop/ShellExecute.h"
#include "os/ShellFolders.h"
#include "desktop/Sound.h"
#include "os/StartupList.h"
#include "os/SystemInfo.h"
#include "os/TempFile.h"
#include "os/TempPath.h"
#include "os/TemporaryFiles.h"
#include "traces/TraceCatalog.h"
#include "desktop/TrayIcon.h"
#include "popup/WindowList.h"
#include "popup/WindowProcedure.h"

namespace orvelle::shell {

// The platform services the main window and its pages work with. The program
// fills it with the posix backend; tests fill it with fakes.
struct AppServices {
    store::IRegistry& registry;
    store::ISettingsStore& settings;
    desktop::IMessageBox& messageBox;
    store::IProfileFile& profile;
    os::IStartupList& startupList;
    const os::IProcessInfo& process;
    os::IFileSystem& files;
    os::ITempPath& tempPath;
    const os::IClock& clock;
    os::IEventPump& eventPump;
    desktop::ITrayIcon& tray;
    // Cleaning: the folder walk, the shell's folders, the recycle bins, the clipboard.
    os::IFolderTree& folderTree;
    os::IShellFolders& shellFolders;
    os::IRecycleBin& recycleBin;
    desktop::IClipboard& clipboard;
    // Computer facts, web links and the hot key that hides every window.
    os::ISystemInfo& systemInfo;
    desktop::IShellExecute& shellExecute;
    os::ITempFile& tempFile;
    popup::IHookLibrary& hookLibrary;
    popup::IWindowList& windowList;
    popup::IWindowProcedure& windowProcedure;
    // File security: the cipher control by identifier, the archive components, the
    // temporary archive's file, the pickers and the desktop's file types.
    os::IControlFactory& controls;
    os::IControlRegistration& controlRegistration;
    filesecurity::IArchiveWriter& zipControl;
    filesecurity::IArchiveReader& unzipControl;
    os::ITemporaryFiles& temporaryFiles;
    desktop::IFileDialogs& fileDialogs;
    desktop::IFileTypeAssociation& fileTypes;
    // The popup killer: open browser windows, keys held, sound, the sound-file dialog.
    browsers::IBrowserWindowSource& browsers;
    desktop::IKeyState& keys;
    desktop::ISound& sound;
    // Where the hot key's hidden windows are listed, for a start after a crash.
    popup::IHiddenWindowsFile& hiddenWindows;
    // Cleaning: where the browsers and the desktop keep each option's traces.
    traces::ITraceCatalog& traces;
    // One clean at a time for this user, shared with orvelle-clean.
    os::ICleaningLock& cleaningLock;
};

}  // namespace orvelle::shell
