#pragma once

// Every platform service of the main window as a recording fake (the registry as a
// private in-memory store), bundled as AppServices. Fixtures derive from it and
// adjust the fakes they care about.

#include "AppServices.h"
#include "FakeBrowser.h"
#include "FakeCleaningLock.h"
#include "FakeClipboard.h"
#include "FakeFileDialogs.h"
#include "FakeFileSecurity.h"
#include "FakeFolderTree.h"
#include "FakeDesktop.h"
#include "FakeOs.h"
#include "FakeStore.h"
#include "FakeRecycleBin.h"
#include "FakeShellFolders.h"
#include "FakeDesktop.h"
#include "FakeOs.h"
#include "FakeTraceCatalog.h"
#include "FakeWindowPlatform.h"
#include "RegistrySettingsStore.h"
#include "SqliteRegistry.h"

namespace orvelle::test {

struct FakeAppServices {
    platform::posix::SqliteRegistry registry{":memory:"};
    platform::RegistrySettingsStore settings{registry};
    platform::fake::FakeMessageBox messageBox;
    platform::fake::FakeProfileFile profile;
    platform::fake::FakeStartupList startupList;
    platform::fake::FakeProcessInfo process{"/opt/orvelle", "orvelle"};
    platform::fake::FakeFileSystem files;
    platform::fake::FakeTempPath tempPath;
    platform::fake::FakeClock clock;
    platform::fake::FakeEventPump eventPump;
    platform::fake::FakeTrayIcon tray;
    platform::fake::FakeFolderTree folderTree;
    platform::fake::FakeShellFolders shellFolders;
    platform::fake::FakeRecycleBin recycleBin;
    platform::fake::FakeClipboard clipboard;
    platform::fake::FakeSystemInfo systemInfo;
    platform::fake::FakeShellExecute shellExecute;
    platform::fake::FakeTempFile tempFile;
    platform::fake::FakeHookLibrary hookLibrary;
    platform::fake::FakeWindowList windowList;
    platform::fake::FakeWindowProcedure windowProcedure;
    platform::fake::FakeControlFactory controls;
    platform::fake::FakeControlRegistration controlRegistration{controls};
    platform::fake::FakeArchiveWriter zipControl;
    platform::fake::FakeArchiveReader unzipControl;
    platform::fake::FakeTemporaryFiles temporaryFiles;
    platform::fake::FakeFileDialogs fileDialogs;
    platform::fake::FakeFileTypeAssociation fileTypes;
    platform::fake::FakeBrowserSource browsers;
    platform::fake::FakeKeyState keys;
    platform::fake::FakeSound sound;
    platform::fake::FakeHiddenWindowsFile hiddenWindows;
    platform::fake::FakeTraceCatalog traces;
    platform::fake::FakeCleaningLock cleaningLock;

    // The same services with another settings store (a recording wrapper, say).
    shell::AppServices WithSettings(platform::ISettingsStore& otherSettings) {
        return shell::AppServices{registry,
                                  otherSettings,
                                  messageBox,
                                  profile,
                                  startupList,
                                  process,
                                  files,
                                  tempPath,
                                  clock,
                                  eventPump,
                                  tray,
                                  folderTree,
                                  shellFolders,
                                  recycleBin,
                                  clipboard,
                                  systemInfo,
                                  shellExecute,
                                  tempFile,
                                  hookLibrary,
                                  windowList,
                                  windowProcedure,
                                  controls,
                                  controlRegistration,
                                  zipControl,
                                  unzipControl,
                                  temporaryFiles,
                                  fileDialogs,
                                  fileTypes,
                                  browsers,
                                  keys,
                                  sound,
                                  hiddenWindows,
                                  traces,
                                  cleaningLock};
    }

    shell::AppServices services = WithSettings(settings);
};

}  // namespace orvelle::test
