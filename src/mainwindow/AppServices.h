#pragma once

#include "CleaningServices.h"
#include "FileSecurityServices.h"
#include "PopupServices.h"
#include "ScheduleServices.h"
#include "platform/MessageBox.h"
#include "platform/ProcessInfo.h"
#include "platform/Registry.h"
#include "platform/SettingsStore.h"
#include "platform/ShellExecute.h"
#include "platform/StartupList.h"
#include "platform/SystemInfo.h"
#include "platform/TempFile.h"
#include "platform/TrayIcon.h"

namespace orvelle::shell {

// What the main window itself works with: the tray icon, the start-up list, this
// computer's facts and the web links.
struct MainWindowServices {
    platform::IRegistry& registry;
    platform::ISettingsStore& settings;
    platform::IMessageBox& messageBox;
    platform::IStartupList& startupList;
    const platform::IProcessInfo& process;
    platform::ITrayIcon& tray;
    platform::ISystemInfo& systemInfo;
    platform::IShellExecute& shellExecute;
    platform::ITempFile& tempFile;
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
