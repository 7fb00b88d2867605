#pragma once

// Every platform service of the main window as a recording fake (the registry as a
// private in-memory store), bundled per feature as AppServices. Fixtures derive from it and
// adjust the fakes they care about.

#include "AppServices.h"
#include "FakeBrowser.h"
#include "FakeCleaningLock.h"
#include "FakeClipboard.h"
#include "FakeFileDialogs.h"
#include "FakeFileSecurity.h"
#include "FakeFolderTree.h"
#include "FakePlatform.h"
#include "FakeRecycleBin.h"
#include "FakeShellFolders.h"
#include "FakeShellPlatform.h"
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
