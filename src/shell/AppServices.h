#pragma once

#include "platform/Archive.h"
#include "platform/Clock.h"
#include "platform/ControlFactory.h"
#include "platform/ControlRegistration.h"
#include "platform/EventPump.h"
#include "platform/FilePicker.h"
#include "platform/FileSystem.h"
#include "platform/FileTypeAssociation.h"
#include "platform/MessageBox.h"
#include "platform/ProcessInfo.h"
#include "platform/ProfileFile.h"
#include "platform/Registry.h"
#include "platform/SettingsStore.h"
#include "platform/StartupList.h"
#include "platform/TempPath.h"
#include "platform/TemporaryFiles.h"
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
    // File security: the cipher control by identifier, the archive components, the
    // temporary archive's file, the pickers and the desktop's file types.
    platform::IControlFactory& controls;
    platform::IControlRegistration& controlRegistration;
    platform::IArchiveWriter& zipControl;
    platform::IArchiveReader& unzipControl;
    platform::ITemporaryFiles& temporaryFiles;
    platform::IFilePicker& filePicker;
    platform::IFileTypeAssociation& fileTypes;
};

}  // namespace orvelle::shell
