#pragma once

// Every platform service of the main window as a recording fake (the registry as a
// private in-memory store), bundled per feature as AppServices. Fixtures derive from it and
// adjust the fakes they care about.

#include "AppServices.h"
#include "FakeBrowser.h"
#include "FakeCleaningLock.h"
#include "FakeClipboard.h"
#include "FakeDesktop.h"
#include "FakeFileDialogs.h"
#include "FakeFileSecurity.h"
#include "FakeFolderTree.h"
#include "FakeOs.h"
#include "FakeRecycleBin.h"
#include "FakeShellFolders.h"
#include "FakeStore.h"
#include "FakeTraceCatalog.h"
#include "FakeWindowPlatform.h"
#include "RegistrySettingsStore.h"
#include "SqliteRegistry.h"

namespace orvelle::test {

struct FakeAppServices {
    store::SqliteRegistry registry{":memory:"};
    store::RegistrySettingsStore settings{registry};
    desktop::fake::FakeMessageBox messageBox;
    store::fake::FakeProfileFile profile;
    os::fake::FakeStartupList startupList;
    os::fake::FakeProcessInfo process{"/opt/orvelle", "orvelle"};
    os::fake::FakeFileSystem files;
    os::fake::FakeTempPath tempPath;
    os::fake::FakeClock clock;
    os::fake::FakeEventPump eventPump;
    desktop::fake::FakeTrayIcon tray;
    os::fake::FakeFolderTree folderTree;
    os::fake::FakeShellFolders shellFolders;
    os::fake::FakeRecycleBin recycleBin;
    desktop::fake::FakeClipboard clipboard;
    os::fake::FakeSystemInfo systemInfo;
    desktop::fake::FakeShellExecute shellExecute;
    os::fake::FakeTempFile tempFile;
    popup::fake::FakeHookLibrary hookLibrary;
    popup::fake::FakeWindowList windowList;
    popup::fake::FakeWindowProcedure windowProcedure;
    filesecurity::fake::FakeControlFactory controls;
    filesecurity::fake::FakeControlRegistration controlRegistration{controls};
    filesecurity::fake::FakeArchiveWriter zipControl;
    filesecurity::fake::FakeArchiveReader unzipControl;
    os::fake::FakeTemporaryFiles temporaryFiles;
    desktop::fake::FakeFileDialogs fileDialogs;
    desktop::fake::FakeFileTypeAssociation fileTypes;
    browsers::fake::FakeBrowserSource browsers;
    desktop::fake::FakeKeyState keys;
    desktop::fake::FakeSound sound;
    popup::fake::FakeHiddenWindowsFile hiddenWindows;
    traces::fake::FakeTraceCatalog traces;
    os::fake::FakeCleaningLock cleaningLock;

    // The same services with another settings store (a recording wrapper, say).
    shell::AppServices WithSettings(store::ISettingsStore& otherSettings) {
        return shell::AppServices{
            shell::MainWindowServices{registry, otherSettings, messageBox, startupList, process,
                                      tray, systemInfo, shellExecute, tempFile},
            cleaning::CleaningServices{registry, otherSettings, messageBox, process, eventPump,
                                       clock, folderTree, shellFolders, tempPath, recycleBin,
                                       clipboard, traces, cleaningLock},
            schedule::ScheduleServices{otherSettings, messageBox, clock},
            popup::PopupServices{otherSettings, messageBox, files, process, clock, eventPump,
                                 fileDialogs, browsers, keys, sound, windowList, hiddenWindows,
                                 hookLibrary, windowProcedure},
            filesecurity::FileSecurityServices{
                controls, controlRegistration, zipControl, unzipControl, files, temporaryFiles,
                tempPath, process, messageBox, registry, fileTypes, fileDialogs}};
    }

    shell::AppServices services = WithSettings(settings);
};

}  // namespace orvelle::test
