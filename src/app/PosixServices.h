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
    explicit PosixServices(desktop::IMessageBox* messageBoxOverride = nullptr);

    // The text the main window shows once when the options on screen are not the ones
    // the user stored; empty when the store was read as it is.
    [[nodiscard]] std::string StoreNotice();
    // Whether the store could not be read at all: nothing cleans on the schedule then.
    [[nodiscard]] bool StoreUnreadable() const;
    // The user has seen the cleaning options: cleans may start from everywhere again.
    void OptionsShown();

    // The store as found at start.
    store::RegistryStoreStatus storeStatus;
    // What was done with a damaged store at start; nullopt when it was not damaged.
    std::optional<store::DamagedRegistryStore> damagedStore;
    store::SqliteRegistry registry;
    store::RegistrySettingsStore settings;
    desktop::qt::QtMessageBox messageBox;
    store::IniProfileFile profile;
    os::posix::XdgStartupList startupList;
    os::posix::PosixProcessInfo process;
    os::posix::PosixFileSystem files;
    os::posix::PosixTempPath tempPath;
    os::posix::SystemClock clock;
    desktop::qt::QtEventPump eventPump;
    desktop::qt::QtTrayIcon tray;
    os::posix::FlockInstanceLock instanceLock;
    os::posix::PosixFolderTree folderTree;
    os::posix::PosixShellFolders shellFolders;
    os::posix::FreedesktopTrash recycleBin;
    desktop::qt::QtClipboard clipboard;
    os::posix::PosixSystemInfo systemInfo;
    desktop::xdg::XdgShellExecute shellExecute;
    os::posix::PosixTempFile tempFile;
    popup::x11::X11WindowList windowList;
    popup::qt::QtWindowProcedure windowProcedure;
    popup::qt::QtHookLibrary hookLibrary;
    app::VeilorControls controls;
    filesecurity::libarchive::LibArchiveWriter zipControl;
    filesecurity::libarchive::LibArchiveReader unzipControl;
    os::posix::PosixTemporaryFiles temporaryFiles;
    desktop::qt::QtFileDialogs fileDialogs;
    desktop::xdg::XdgFileTypeAssociation fileTypes;
    // The browsers running Orvelle's extension, and those with a debugging port only
    // when the user turned that on.
    browsers::extension::ExtensionBrowserSource extensionBrowsers;
    std::unique_ptr<browsers::devtools::DevToolsBrowserSource> devToolsBrowsers;
    browsers::CombinedBrowserSource browsers;
    desktop::x11::X11KeyState keys;
    desktop::qt::QtSound sound;
    popup::posix::RuntimeHiddenWindowsFile hiddenWindows;
    traces::LinuxTraceCatalog traceCatalog;
    os::posix::FlockCleaningLock cleaningLock;

    shell::AppServices services;

private:
    bool writeFailureShown_ = false;
};

}  // namespace orvelle::app
