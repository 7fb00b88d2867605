#include "ProgramServices.h"

#include "AppIcon.h"
#include "BrowserProfileFolders.h"
#include "Settings.h"
#include "Version.h"

#include "ErrorBox.h"
#include "XdgPaths.h"

namespace orvelle::wiring {

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

ProgramServices::ProgramServices(desktop::IMessageBox* messageBoxOverride)
    : storeStatus(store::InspectRegistryStore(store::SqliteRegistry::DefaultPath())),
      damagedStore(storeStatus.state == store::RegistryStoreState::Damaged
                       ? store::SetAsideDamagedRegistryStore(store::SqliteRegistry::DefaultPath())
                       : std::nullopt),
      core(store::SqliteRegistry::DefaultPath()),
      profile(store::IniProfileFile::DefaultPath()),
      tray(shell::AppIcon()),
      controls(core.registry, core.process.ProgramFolder()),
      zipControl(eventPump),
      unzipControl(eventPump),
      devToolsBrowsers(DevToolsSourceIfWanted(core.settings, core.registry)),
      browsers(devToolsBrowsers
                   ? std::vector<browsers::IBrowserWindowSource*>{&extensionBrowsers,
                                                                  devToolsBrowsers.get()}
                   : std::vector<browsers::IBrowserWindowSource*>{&extensionBrowsers}),
      services(Bundles(messageBoxOverride != nullptr ? *messageBoxOverride : messageBox)) {
    ReportWriteFailures();
    if (damagedStore && !damagedStore->copy.empty() && core.registry.IsOpen()) {
        // The new store holds guessed options until the user has looked at them.
        static_cast<void>(core.registry.SetOptionsUnconfirmed(true));
    }
}

shell::AppServices ProgramServices::Bundles(desktop::IMessageBox& shownBoxes) {
    return shell::AppServices{
        shell::MainWindowServices{core.registry, core.settings, shownBoxes, startupList,
                                  core.process, tray, systemInfo, shellExecute, tempFile},
        core.Cleaning(shownBoxes, eventPump, clipboard),
        schedule::ScheduleServices{core.settings, shownBoxes, core.clock},
        popup::PopupServices{core.settings, shownBoxes, core.files, core.process, core.clock,
                             eventPump, fileDialogs, browsers, keys, sound, windowList,
                             hiddenWindows, hookLibrary, windowProcedure},
        filesecurity::FileSecurityServices{controls, controls, zipControl, unzipControl, core.files,
                                           temporaryFiles, core.tempPath, core.process, shownBoxes,
                                           core.registry, fileTypes, fileDialogs}};
}

void ProgramServices::ReportWriteFailures() {
    // A change that is not kept is said once per run: every later one fails the same way.
    core.settings.SetWriteFailureHandler([this](const std::string& setting, store::LSTATUS) {
        if (writeFailureShown_) {
            return;
        }
        writeFailureShown_ = true;
        const std::string reason = core.registry.LastError().empty()
                                       ? "the registry store is not open"
                                       : core.registry.LastError();
        shell::ShowErrorBox(
            services.window.messageBox,
            os::RuntimeError(os::errors::kPathFileAccessError,
                             "Path/File access error: the setting " + setting +
                                 " could not be saved in " + core.registry.Path() + " (" + reason +
                                 "); no change is kept until it can be"));
    });
}

std::string ProgramServices::StoreNotice() {
    if (damagedStore) {
        return store::DamagedRegistryStoreMessage(*damagedStore);
    }
    if (StoreUnreadable()) {
        return store::UnusableRegistryStoreMessage(
            core.registry.Path(), storeStatus.state == store::RegistryStoreState::Unusable
                                      ? storeStatus.reason
                                      : core.registry.LastError());
    }
    if (core.registry.OptionsUnconfirmed()) {
        return "The cleaning options were set back to their defaults when a damaged registry "
               "store was replaced, and you have not looked at them since. No clean runs, "
               "scheduled or from orvelle-clean, until you have: they are shown now.";
    }
    return {};
}

bool ProgramServices::StoreUnreadable() const {
    return storeStatus.state == store::RegistryStoreState::Unusable || !core.registry.IsOpen();
}

void ProgramServices::OptionsShown() {
    if (core.registry.IsOpen()) {
        static_cast<void>(core.registry.SetOptionsUnconfirmed(false));
    }
}

}  // namespace orvelle::wiring
