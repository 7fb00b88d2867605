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
    platform::IRegistry& registry;
    platform::ISettingsStore& settings;
    platform::IMessageBox& messageBox;
    platform::IProfileFile& profile;
    platform::IStartupList& startupList;
    const platform::IProcessInfo& process;
    platform::IFileSystem& files;
    platform::ITempPath& tempPath;
    const platform::IClock& clock;
    platform::IEventPump& eventPump;
    platform::ITrayIcon& tray;
    // Cleaning: the folder walk, the shell's folders, the recycle bins, the clipboard.
    platform::IFolderTree& folderTree;
    platform::IShellFolders& shellFolders;
    platform::IRecycleBin& recycleBin;
    platform::IClipboard& clipboard;
    // Computer facts, web links and the hot key that hides every window.
    platform::ISystemInfo& systemInfo;
    platform::IShellExecute& shellExecute;
    platform::ITempFile& tempFile;
    platform::IHookLibrary& hookLibrary;
    platform::IWindowList& windowList;
    platform::IWindowProcedure& windowProcedure;
    // File security: the cipher control by identifier, the archive components, the
    // temporary archive's file, the pickers and the desktop's file types.
    platform::IControlFactory& controls;
    platform::IControlRegistration& controlRegistration;
    platform::IArchiveWriter& zipControl;
    platform::IArchiveReader& unzipControl;
    platform::ITemporaryFiles& temporaryFiles;
    platform::IFileDialogs& fileDialogs;
    platform::IFileTypeAssociation& fileTypes;
    // The popup killer: open browser windows, keys held, sound, the sound-file dialog.
    platform::IBrowserWindowSource& browsers;
    platform::IKeyState& keys;
    platform::ISound& sound;
    // Where the hot key's hidden windows are listed, for a start after a crash.
    platform::IHiddenWindowsFile& hiddenWindows;
    // Cleaning: where the browsers and the desktop keep each option's traces.
    platform::ITraceCatalog& traces;
    // One clean at a time for this user, shared with orvelle-clean.
    platform::ICleaningLock& cleaningLock;
};

}  // namespace orvelle::shell
