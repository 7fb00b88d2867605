#pragma once

#include "platform/BrowserSource.h"
#include "platform/Clock.h"
#include "platform/EventPump.h"
#include "platform/FileSystem.h"
#include "platform/KeyState.h"
#include "platform/MessageBox.h"
#include "platform/OpenFileDialog.h"
#include "platform/ProcessInfo.h"
#include "platform/ProfileFile.h"
#include "platform/Registry.h"
#include "platform/SettingsStore.h"
#include "platform/Sound.h"
#include "platform/StartupList.h"
#include "platform/TempPath.h"
#include "platform/TrayIcon.h"

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
    // The popup killer: open browser windows, keys held, sound, the sound-file dialog.
    platform::IBrowserWindowSource& browsers;
    platform::IKeyState& keys;
    platform::ISound& sound;
    platform::IOpenFileDialog& fileDialog;
};

}  // namespace orvelle::shell
