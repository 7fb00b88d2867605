#pragma once

#include "CleaningServices.h"
#include "FileSecurityServices.h"
#include "PopupServices.h"
#include "ScheduleServices.h"
#include "desktop/MessageBox.h"
#include "desktop/ShellExecute.h"
#include "desktop/TrayIcon.h"
#include "os/ProcessInfo.h"
#include "os/StartupList.h"
#include "os/SystemInfo.h"
#include "os/TempFile.h"
#include "store/Registry.h"
#include "store/SettingsStore.h"

namespace orvelle::shell {

// What the main window itself works with: the tray icon, the start-up list, this
// computer's facts and the web links.
struct MainWindowServices {
    store::IRegistry& registry;
    store::ISettingsStore& settings;
    desktop::IMessageBox& messageBox;
    os::IStartupList& startupList;
    const os::IProcessInfo& process;
    desktop::ITrayIcon& tray;
    os::ISystemInfo& systemInfo;
    desktop::IShellExecute& shellExecute;
    os::ITempFile& tempFile;
};

// The platform services of the main window, one bundle per feature: each page
// receives its own. The program's wiring fills them with the posix backends; tests
// and the screenshot tool fill them with fakes.
struct AppServices {
    MainWindowServices window;
    cleaning::CleaningServices cleaning;
    schedule::ScheduleServices schedule;
    popup::PopupServices popup;
    filesecurity::FileSecurityServices fileSecurity;
};

}  // namespace orvelle::shell
