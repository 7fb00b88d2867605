#include "PosixServices.h"

#include "AppIcon.h"
#include "BrowserProfileFolders.h"
#include "Settings.h"
#include "Version.h"

#include "ErrorBox.h"
#include "XdgPaths.h"

namespace orvelle::app {

namespace {

std::unique_ptr<browsers::devtools::DevToolsBrowserSource> DevToolsSourceIfWanted(
    store::ISettingsStore& settings, store::IRegistry& registry) {
    if (settings.GetSetting(shell::ApplicationTitle(), shell::settings::kPopupKiller,
                            shell::settings::kDevToolsPort, "0") != "1") {
        return nullptr;
    }
    return std::make_unique<browsers::devtools::DevToolsBrowserSource>([&registry] {
        return browsers::BrowserProfileFolders(registry, os::posix::XdgPaths::Home(),
                                                      os::posix::XdgPaths::ConfigHome());
    });
}

}  // namespace

PosixServices::PosixServices(desktop::IMessageBox* messageBoxOverride)
    : storeStatus(
          store::InspectRegistryStore(store::SqliteRegistry::DefaultPath())),
      damagedStore(storeStatus.state == store::RegistryStoreState::Damaged
                       ? store::SetAsideDamagedRegistryStore(
                             store::SqliteRegistry::DefaultPath())
                       : std::nullopt),
      registry(store::SqliteRegistry::DefaultPath()),
      settings(registry),
      profile(store::IniProfileFile::DefaultPath()),
      tray(shell::AppIcon()),
      shellFolders(registry),
      controls(registry, process.ProgramFolder()),
      zipControl(eventPump),
      unzipControl(eventPump),
      devToolsBrowsers(DevToolsSourceIfWanted(settings, registry)),
      browsers(devToolsBrowsers
                   ? std::vector<browsers::IBrowserWindowSource*>{&extensionBrowsers,
                                                                  devToolsBrowsers.get()}
                   : std::vector<browsers::IBrowserWindowSource*>{&extensionBrowsers}),
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
    settings.SetWriteFailureHandler([this](const std::string& setting, store::LSTATUS) {
        if (writeFailureShown_) {
            return;
        }
        writeFailureShown_ = true;
        const std::string reason =
            registry.LastError().empty() ? "the registry store is not open" : registry.LastError();
        shell::ShowErrorBox(
            services.messageBox,
            os::RuntimeError(os::errors::kPathFileAccessError,
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
        return store::DamagedRegistryStoreMessage(*damagedStore);
    }
    if (StoreUnreadable()) {
        return store::UnusableRegistryStoreMessage(
            registry.Path(), storeStatus.state == store::RegistryStoreState::Unusable
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
    return storeStatus.state == store::RegistryStoreState::Unusable || !registry.IsOpen();
}

void PosixServices::OptionsShown() {
    if (registry.IsOpen()) {
        static_cast<void>(registry.SetOptionsUnconfirmed(false));
    }
}

}  // namespace orvelle::app
