#pragma once

#include "platform/Archive.h"
#include "platform/BrowserSource.h"
#include "platform/CleaningLock.h"
#include "platform/Clipboard.h"
#include "platform/Clock.h"
#include "platform/ControlFactory.h"
#include "platform/ControlRegistration.h"
#include "platform/EventPump.h"
#include "platform/FileDialogs.h"
#include "platform/FileSystem.h"
#include "platform/FileTypeAssociation.h"
#include "platform/FolderTree.h"
#include "platform/HiddenWindowsFile.h"
#include "platform/HookLibrary.h"
#include "platform/KeyState.h"
#include "platform/MessageBox.h"
#include "platform/ProcessInfo.h"
#include "platform/ProfileFile.h"
#include "platform/RecycleBin.h"
#include "platform/Registry.h"
#include "platform/SettingsStore.h"
#include "platform/ShellExecute.h"
#include "platform/ShellFolders.h"
#include "platform/Sound.h"
#include "platform/StartupList.h"
#include "platform/SystemInfo.h"
#include "platform/TempFile.h"
#include "platform/TempPath.h"
#include "platform/TemporaryFiles.h"
#include "platform/TraceCatalog.h"
#include "platform/TrayIcon.h"
#include "platform/WindowList.h"
#include "platform/WindowProcedure.h"

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
