#include "PosixServices.h"

#include "AppIcon.h"
#include "BrowserProfileFolders.h"
#include "Settings.h"
#include "Version.h"
#include "XdgPaths.h"

namespace orvelle::app {

namespace {

std::unique_ptr<platform::posix::DevToolsBrowserSource> DevToolsSourceIfWanted(
    platform::ISettingsStore& settings, platform::IRegistry& registry) {
    if (settings.GetSetting(shell::ApplicationTitle(), shell::settings::kPopupKiller,
                            shell::settings::kDevToolsPort, "0") != "1") {
        return nullptr;
    }
    return std::make_unique<platform::posix::DevToolsBrowserSource>([&registry] {
        return platform::posix::BrowserProfileFolders(registry, platform::posix::XdgPaths::Home(),
                                                      platform::posix::XdgPaths::ConfigHome());
    });
}

}  // namespace

PosixServices::PosixServices(platform::IMessageBox* messageBoxOverride)
    : damagedStore(platform::posix::SetAsideDamagedRegistryStore(
          platform::posix::SqliteRegistry::DefaultPath())),
      registry(platform::posix::SqliteRegistry::DefaultPath()),
      settings(registry),
      profile(platform::posix::IniProfileFile::DefaultPath()),
      tray(shell::AppIcon()),
      shellFolders(registry),
      controls(registry, process.ProgramFolder()),
      zipControl(eventPump),
      unzipControl(eventPump),
      devToolsBrowsers(DevToolsSourceIfWanted(settings, registry)),
      browsers(devToolsBrowsers
                   ? std::vector<platform::IBrowserWindowSource*>{&extensionBrowsers,
                                                                  devToolsBrowsers.get()}
                   : std::vector<platform::IBrowserWindowSource*>{&extensionBrowsers}),
      services{registry,
               settings,
               messageBoxOverride != nullptr ? *messageBoxOverride : messageBox,
               profile,
               startupList,
               process,
               files,
               tempPath,
               clock,
               eventPump,
               tray,
               folderTree,
               shellFolders,
               recycleBin,
               clipboard,
               systemInfo,
               shellExecute,
               tempFile,
               hookLibrary,
               windowList,
               windowProcedure,
               controls,
               controls,
               zipControl,
               unzipControl,
               temporaryFiles,
               fileDialogs,
               fileTypes,
               browsers,
               keys,
               sound,
               hiddenWindows,
               traceCatalog,
               cleaningLock} {
    if (damagedStore) {
        services.messageBox.Show(platform::posix::DamagedRegistryStoreMessage(*damagedStore),
                                 "Orvelle", platform::MessageIcon::Exclamation);
    }
}

}  // namespace orvelle::app
