#pragma once

#include "browsers/BrowserSource.h"
#include "desktop/FileDialogs.h"
#include "desktop/KeyState.h"
#include "desktop/MessageBox.h"
#include "desktop/Sound.h"
#include "os/Clock.h"
#include "os/EventPump.h"
#include "os/FileSystem.h"
#include "os/ProcessInfo.h"
#include "popup/HiddenWindowsFile.h"
#include "popup/HookLibrary.h"
#include "popup/WindowList.h"
#include "popup/WindowProcedure.h"
#include "store/SettingsStore.h"

namespace orvelle::popup {

// What the popup killer works with: its page (the switch, the sound file and its
// dialog, the window log), the browser windows it watches with the keys held and the
// sound, and the hot key that hides every window (listed for a start after a crash).
struct PopupServices {
    store::ISettingsStore& settings;
    desktop::IMessageBox& messageBox;
    os::IFileSystem& files;
    const os::IProcessInfo& process;
    const os::IClock& clock;
    os::IEventPump& eventPump;
    desktop::IFileDialogs& fileDialogs;
    browsers::IBrowserWindowSource& browsers;
    desktop::IKeyState& keys;
    desktop::ISound& sound;
    popup::IWindowList& windowList;
    popup::IHiddenWindowsFile& hiddenWindows;
    popup::IHookLibrary& hookLibrary;
    popup::IWindowProcedure& windowProcedure;
};

}  // namespace orvelle::popup
