#include "Settings.h"

#include "ErrorBox.h"
#include "VbConvert.h"

namespace orvelle::shell::settings {

std::int32_t ReadNumberSetting(store::ISettingsStore& store, desktop::IMessageBox& messageBox,
                               const std::string& application, const std::string& section,
                               const std::string& key, const std::string& defaultText,
                               std::int32_t fallback) {
    const std::string text = store.GetSetting(application, section, key, defaultText);
    try {
        return ToInt32(text);
    } catch (const os::RuntimeError& error) {
        ShowErrorBox(messageBox,
                     os::RuntimeError(error.Number(), error.Description() + ": the setting " +
                                                          section + "\\" + key + " holds \"" +
                                                          text + "\"; the default is used"));
        return fallback;
    }
}

}  // namespace orvelle::shell::settings
