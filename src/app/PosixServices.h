#pragma once

#include "AppServices.h"
#include "browsers/CombinedBrowserSource.h"
#include "DevToolsBrowserSource.h"
#include "ExtensionBrowserSource.h"
#include "FlockCleaningLock.h"
#include "FlockInstanceLock.h"
#include "FreedesktopTrash.h"
#include "IniProfileFile.h"
#include "LibArchiveReader.h"
#include "LibArchiveWriter.h"
#include "LinuxTraceCatalog.h"
#include "PosixFileSystem.h"
#include "PosixFolderTree.h"
#include "PosixProcessInfo.h"
#include "PosixShellFolders.h"
#include "PosixSystemInfo.h"
#include "PosixTempFile.h"
#include "PosixTempPath.h"
#include "PosixTemporaryFiles.h"
#include "QtClipboard.h"
#include "QtEventPump.h"
#include "QtFileDialogs.h"
#include "QtHookLibrary.h"
#include "QtMessageBox.h"
#include "QtSound.h"
#include "QtTrayIcon.h"
#include "QtWindowProcedure.h"
#include "RegistrySettingsStore.h"
#include "RegistryStoreCheck.h"
#include "RuntimeHiddenWindowsFile.h"
#include "SqliteRegistry.h"
#include "SystemClock.h"
#include "VeilorControls.h"
#include "X11KeyState.h"
#include "X11WindowList.h"
#include "XdgFileTypeAssociation.h"
#include "XdgShellExecute.h"
#include "XdgStartupList.h"

#include <memory>
#include <optional>

namespace orvelle::app {

// Owns the posix backend of every platform service and offers them as AppServices.
// Paths follow the environment ($XDG_CONFIG_HOME and friends) when it is built.
struct PosixServices {
    // `messageBox` replaces the modal boxes (the screenshot tool prints them instead).
    // A damaged registry store is moved aside before the new one opens; a store that
    // cannot be read as it is stays where it is. Either way StoreNotice() says so.
    explicit PosixServices(platform::IMessageBox* messageBoxOverride = nullptr);

    // The text the main window shows once when the options on screen are not the ones
    // the user stored; empty when the store was read as it is.
    [[nodiscard]] std::string StoreNotice();
    // Whether the store could not be read at all: nothing cleans on the schedule then.
    [[nodiscard]] bool StoreUnreadable() const;
    // The user has seen the cleaning options: cleans may start from everywhere again.
    void OptionsShown();

    // The store as found at start.
    platform::posix::RegistryStoreStatus storeStatus;
    // What was done with a damaged store at start; nullopt when it was not damaged.
    std::optional<platform::posix::DamagedRegistryStore> damagedStore;
    platform::posix::SqliteRegistry registry;
    platform::RegistrySettingsStore settings;
    platform::posix::QtMessageBox messageBox;
    platform::posix::IniProfileFile profile;
    platform::posix::XdgStartupList startupList;
    platform::posix::PosixProcessInfo process;
    platform::posix::PosixFileSystem files;
    platform::posix::PosixTempPath tempPath;
    platform::posix::SystemClock clock;
    platform::posix::QtEventPump eventPump;
    platform::posix::QtTrayIcon tray;
    platform::posix::FlockInstanceLock instanceLock;
    platform::posix::PosixFolderTree folderTree;
    platform::posix::PosixShellFolders shellFolders;
    platform::posix::FreedesktopTrash recycleBin;
    platform::posix::QtClipboard clipboard;
    platform::posix::PosixSystemInfo systemInfo;
    platform::posix::XdgShellExecute shellExecute;
    platform::posix::PosixTempFile tempFile;
    platform::posix::X11WindowList windowList;
    platform::posix::QtWindowProcedure windowProcedure;
    platform::posix::QtHookLibrary hookLibrary;
    app::VeilorControls controls;
    platform::posix::LibArchiveWriter zipControl;
    platform::posix::LibArchiveReader unzipControl;
    platform::posix::PosixTemporaryFiles temporaryFiles;
    platform::posix::QtFileDialogs fileDialogs;
    platform::posix::XdgFileTypeAssociation fileTypes;
    // The browsers running Orvelle's extension, and those with a debugging port only
    // when the user turned that on.
    platform::posix::ExtensionBrowserSource extensionBrowsers;
    std::unique_ptr<platform::posix::DevToolsBrowserSource> devToolsBrowsers;
    platform::CombinedBrowserSource browsers;
    platform::posix::X11KeyState keys;
    platform::posix::QtSound sound;
    platform::posix::RuntimeHiddenWindowsFile hiddenWindows;
    traces::LinuxTraceCatalog traceCatalog;
    platform::posix::FlockCleaningLock cleaningLock;

    shell::AppServices services;

private:
    bool writeFailureShown_ = false;
};

}  // namespace orvelle::app
