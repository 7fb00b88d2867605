#include "ProgramServices.h"

#include "AppIcon.h"
#include "BrowserProfileFolders.h"
#include "Settings.h"
#include "Version.h"

#include "ErrorBox.h"
#include "XdgPaths.h"

namespace orvelle::wiring {

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

ProgramServices::ProgramServices(platform::IMessageBox* messageBoxOverride)
    : storeStatus(
          platform::posix::InspectRegistryStore(platform::posix::SqliteRegistry::DefaultPath())),
      damagedStore(storeStatus.state == platform::posix::RegistryStoreState::Damaged
                       ? platform::posix::SetAsideDamagedRegistryStore(
                             platform::posix::SqliteRegistry::DefaultPath())
                       : std::nullopt),
      core(platform::posix::SqliteRegistry::DefaultPath()),
      profile(platform::posix::IniProfileFile::DefaultPath()),
      tray(shell::AppIcon()),
      controls(core.registry, core.process.ProgramFolder()),
      zipControl(eventPump),
      unzipControl(eventPump),
      devToolsBrowsers(DevToolsSourceIfWanted(core.settings, core.registry)),
      browsers(devToolsBrowsers
                   ? std::vector<platform::IBrowserWindowSource*>{&extensionBrowsers,
                                                                  devToolsBrowsers.get()}
                   : std::vector<platform::IBrowserWindowSource*>{&extensionBrowsers}),
      services(Bundles(messageBoxOverride != nullptr ? *messageBoxOverride : messageBox)) {
    ReportWriteFailures();
    if (damagedStore && !damagedStore->copy.empty() && core.registry.IsOpen()) {
        // The new store holds guessed options until the user has looked at them.
        static_cast<void>(core.registry.SetOptionsUnconfirmed(true));
    }
}

shell::AppServices ProgramServices::Bundles(platform::IMessageBox& shownBoxes) {
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
    core.settings.SetWriteFailureHandler([this](const std::string& setting, platform::LSTATUS) {
        if (writeFailureShown_) {
            return;
        }
        writeFailureShown_ = true;
        const std::string reason = core.registry.LastError().empty()
                                       ? "the registry store is not open"
                                       : core.registry.LastError();
        shell::ShowErrorBox(
            services.window.messageBox,
            platform::RuntimeError(platform::errors::kPathFileAccessError,
                                   "Path/File access error: the setting " + setting +
                                       " could not be saved in " + core.registry.Path() + " (" +
                                       reason + "); no change is kept until it can be"));
    });
}

std::string ProgramServices::StoreNotice() {
    if (damagedStore) {
        return platform::posix::DamagedRegistryStoreMessage(*damagedStore);
    }
    if (StoreUnreadable()) {
        return platform::posix::UnusableRegistryStoreMessage(
            core.registry.Path(), storeStatus.state == platform::posix::RegistryStoreState::Unusable
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
    return storeStatus.state == platform::posix::RegistryStoreState::Unusable ||
           !core.registry.IsOpen();
}

void ProgramServices::OptionsShown() {
    if (core.registry.IsOpen()) {
        static_cast<void>(core.registry.SetOptionsUnconfirmed(false));
    }
}

}  // namespace orvelle::wiring
