#pragma once

#include "AppServices.h"
#include "CleaningBackends.h"
#include "DevToolsBrowserSource.h"
#include "ExtensionBrowserSource.h"
#include "FlockInstanceLock.h"
#include "IniProfileFile.h"
#include "LibArchiveReader.h"
#include "LibArchiveWriter.h"
#include "PosixSystemInfo.h"
#include "PosixTempFile.h"
#include "PosixTemporaryFiles.h"
#include "QtClipboard.h"
#include "QtEventPump.h"
#include "QtFileDialogs.h"
#include "QtHookLibrary.h"
#include "QtMessageBox.h"
#include "QtSound.h"
#include "QtTrayIcon.h"
#include "QtWindowProcedure.h"
#include "RegistryStoreCheck.h"
#include "RuntimeHiddenWindowsFile.h"
#include "VeilorControls.h"
#include "X11KeyState.h"
#include "X11WindowList.h"
#include "XdgFileTypeAssociation.h"
#include "XdgShellExecute.h"
#include "XdgStartupList.h"
#include "browsers/CombinedBrowserSource.h"

#include <memory>
#include <optional>

namespace orvelle::wiring {

// Owns the posix backend of every platform service of the program, built once, and
// hands each feature its bundle. Paths follow the environment ($XDG_CONFIG_HOME and
// friends) when it is built.
struct ProgramServices {
    // `messageBox` replaces the modal boxes (the screenshot tool prints them instead).
    // A damaged registry store is moved aside before the new one opens; a store that
    // cannot be read as it is stays where it is. Either way StoreNotice() says so.
    explicit ProgramServices(desktop::IMessageBox* messageBoxOverride = nullptr);

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
    // The store, the folders, the clock and the rest shared with orvelle-clean.
    CleaningBackends core;
    desktop::qt::QtMessageBox messageBox;
    store::IniProfileFile profile;
    os::posix::XdgStartupList startupList;
    desktop::qt::QtEventPump eventPump;
    desktop::qt::QtTrayIcon tray;
    os::posix::FlockInstanceLock instanceLock;
    desktop::qt::QtClipboard clipboard;
    os::posix::PosixSystemInfo systemInfo;
    desktop::xdg::XdgShellExecute shellExecute;
    os::posix::PosixTempFile tempFile;
    popup::x11::X11WindowList windowList;
    popup::qt::QtWindowProcedure windowProcedure;
    popup::qt::QtHookLibrary hookLibrary;
    VeilorControls controls;
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

    // Every feature's bundle, for the main window.
    shell::AppServices services;

private:
    shell::AppServices Bundles(desktop::IMessageBox& shownBoxes);
    void ReportWriteFailures();

    bool writeFailureShown_ = false;
};

}  // namespace orvelle::wiring
