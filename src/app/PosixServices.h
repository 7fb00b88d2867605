#pragma once

#include "AppServices.h"
#include "DevToolsBrowserSource.h"
#include "FlockInstanceLock.h"
#include "IniProfileFile.h"
#include "PosixFileSystem.h"
#include "PosixProcessInfo.h"
#include "PosixTempPath.h"
#include "QtEventPump.h"
#include "QtMessageBox.h"
#include "QtOpenFileDialog.h"
#include "QtSound.h"
#include "QtTrayIcon.h"
#include "RegistrySettingsStore.h"
#include "SqliteRegistry.h"
#include "SystemClock.h"
#include "X11KeyState.h"
#include "XdgStartupList.h"

namespace orvelle::app {

// Owns the posix backend of every platform service and offers them as AppServices.
// Paths follow the environment ($XDG_CONFIG_HOME and friends) when it is built.
struct PosixServices {
    // `messageBox` replaces the modal boxes (the screenshot tool prints them instead).
    explicit PosixServices(platform::IMessageBox* messageBoxOverride = nullptr);

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
    platform::posix::DevToolsBrowserSource browsers;
    platform::posix::X11KeyState keys;
    platform::posix::QtSound sound;
    platform::posix::QtOpenFileDialog fileDialog;

    shell::AppServices services;
};

}  // namespace orvelle::app
