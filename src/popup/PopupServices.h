#pragma once

#include "platform/BrowserSource.h"
#include "platform/Clock.h"
#include "platform/EventPump.h"
#include "platform/FileDialogs.h"
#include "platform/FileSystem.h"
#include "platform/HiddenWindowsFile.h"
#include "platform/HookLibrary.h"
#include "platform/KeyState.h"
#include "platform/MessageBox.h"
#include "platform/ProcessInfo.h"
#include "platform/SettingsStore.h"
#include "platform/Sound.h"
#include "platform/WindowList.h"
#include "platform/WindowProcedure.h"

namespace orvelle::popup {

// What the popup killer works with: its page (the switch, the sound file and its
// dialog, the window log), the browser windows it watches with the keys held and the
// sound, and the hot key that hides every window (listed for a start after a crash).
struct PopupServices {
    platform::ISettingsStore& settings;
    platform::IMessageBox& messageBox;
    platform::IFileSystem& files;
    const platform::IProcessInfo& process;
    const platform::IClock& clock;
    platform::IEventPump& eventPump;
    platform::IFileDialogs& fileDialogs;
    platform::IBrowserWindowSource& browsers;
    platform::IKeyState& keys;
    platform::ISound& sound;
    platform::IWindowList& windowList;
    platform::IHiddenWindowsFile& hiddenWindows;
    platform::IHookLibrary& hookLibrary;
    platform::IWindowProcedure& windowProcedure;
};

}  // namespace orvelle::popup
