#include "BrowserSettings.h"

#include "ErrorBox.h"
#include "Settings.h"
#include "Version.h"

namespace orvelle::cleaning {

void BrowserSettings::WriteMainValue(const char* name, const std::string& text) {
    registry_.SetUserKeyValue(kMainKey, name, text, platform::REG_SZ);
}

void BrowserSettings::DisableScriptDebugger() {
    shell::RunTrapped(messageBox_, [&] { WriteMainValue(kDisableScriptDebugger, "yes"); });
}

void BrowserSettings::DisableScriptDebuggerX() {
    shell::RunTrapped(messageBox_, [&] { WriteMainValue(kDisableScriptDebuggerX, "yes"); });
}

void BrowserSettings::cmdHomePage_Click(const ITextField& txtHomePageURL) {
    shell::RunTrapped(messageBox_, [&] {
        const std::string address = txtHomePageURL.Text();
        WriteMainValue(kStartPage, address);
        settings_.SaveSetting(shell::ApplicationTitle(), shell::settings::kHomePage,
                              shell::settings::kStartPage, address);
    });
}

void BrowserSettings::RestoreStartPage(ITextField& txtHomePageURL) {
    txtHomePageURL.SetText(settings_.GetSetting(shell::ApplicationTitle(),
                                                shell::settings::kHomePage,
                                                shell::settings::kStartPage, kDefaultHomePage));
    WriteMainValue(kStartPage, txtHomePageURL.Text());
}

}  // namespace orvelle::cleaning
