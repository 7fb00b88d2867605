#include "PosixServices.h"

#include "AppIcon.h"
#include "BrowserProfileFolders.h"
#include "Settings.h"
#include "Version.h"

#include "ErrorBox.h"
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
    : storeStatus(
          platform::posix::InspectRegistryStore(platform::posix::SqliteRegistry::DefaultPath())),
      damagedStore(storeStatus.state == platform::posix::RegistryStoreState::Damaged
                       ? platform::posix::SetAsideDamagedRegistryStore(
                             platform::posix::SqliteRegistry::DefaultPath())
                       : std::nullopt),
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
    // A change that is not kept is said once per run: every later one fails the same way.
    settings.SetWriteFailureHandler([this](const std::string& setting, platform::LSTATUS) {
        if (writeFailureShown_) {
            return;
        }
        writeFailureShown_ = true;
        const std::string reason =
            registry.LastError().empty() ? "the registry store is not open" : registry.LastError();
        shell::ShowErrorBox(
            services.messageBox,
            platform::RuntimeError(platform::errors::kPathFileAccessError,
                                   "Path/File access error: the setting " + setting +
                                       " could not be saved in " + registry.Path() + " (" + reason +
                                       "); no change is kept until it can be"));
    });
    if (damagedStore && !damagedStore->copy.empty() && registry.IsOpen()) {
        // The new store holds guessed options until the user has looked at them.
        static_cast<void>(registry.SetOptionsUnconfirmed(true));
    }
}

std::string PosixServices::StoreNotice() {
    if (damagedStore) {
        return platform::posix::DamagedRegistryStoreMessage(*damagedStore);
    }
    if (StoreUnreadable()) {
        return platform::posix::UnusableRegistryStoreMessage(
            registry.Path(), storeStatus.state == platform::posix::RegistryStoreState::Unusable
                                 ? storeStatus.reason
                                 : registry.LastError());
    }
    if (registry.OptionsUnconfirmed()) {
        return "The cleaning options were set back to their defaults when a damaged registry "
               "store was replaced, and you have not looked at them since. No clean runs, "
               "scheduled or from orvelle-clean, until you have: they are shown now.";
    }
    return {};
}

bool PosixServices::StoreUnreadable() const {
    return storeStatus.state == platform::posix::RegistryStoreState::Unusable || !registry.IsOpen();
}

void PosixServices::OptionsShown() {
    if (registry.IsOpen()) {
        static_cast<void>(registry.SetOptionsUnconfirmed(false));
    }
}

}  // namespace orvelle::app
