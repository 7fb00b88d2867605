#pragma once

#include "RegistryLayer.h"
#include "TextField.h"
#include "desktop/MessageBox.h"
#include "store/SettingsStore.h"
#include "traces/TraceCatalog.h"

namespace orvelle::cleaning {

// The browser settings the program writes, all string values under the current
// user's "Software\Microsoft\Internet Explorer\Main" (a missing key is no error:
// nothing is written): the two script-debugging values and the start page, whose
// own copy the program keeps in the settings store and writes back at every start.
// The start page also goes to every real browser profile the trace catalog finds,
// but only once the user has stored a home page: a first start changes no browser.
class BrowserSettings {
public:
    static constexpr const char* kMainKey = "Software\\Microsoft\\Internet Explorer\\Main";
    static constexpr const char* kStartPage = "Start Page";
    static constexpr const char* kDisableScriptDebugger = "Disable Script Debugger";
    static constexpr const char* kDisableScriptDebuggerX = "Disable Script DebuggerX";
    static constexpr const char* kDefaultHomePage = "about:blank";

    BrowserSettings(store::ISettingsStore& settings, desktop::IMessageBox& messageBox,
                    shell::RegistryLayer& registry, traces::ITraceCatalog& traces)
        : settings_(settings), messageBox_(messageBox), registry_(registry), traces_(traces) {}

    // Writes "Disable Script Debugger" = "yes"; nothing ever writes "no".
    void DisableScriptDebugger();
    // Writes "Disable Script DebuggerX" = "yes".
    void DisableScriptDebuggerX();
    // "Set Home Page": the box's text, unchecked and as it is, becomes the start page
    // and the stored home page, and the browsers' start page; a profile that could
    // not be changed (a Chromium profile in use) is named in the error box.
    void cmdHomePage_Click(const ITextField& txtHomePageURL);
    // At start: the stored home page (default "about:blank") into the box, then the
    // box's text to the browser's start page, and to the real browsers when a home
    // page was stored. Errors reach the caller (the load step).
    void RestoreStartPage(ITextField& txtHomePageURL);

private:
    void WriteMainValue(const char* name, const std::string& text);

    store::ISettingsStore& settings_;
    desktop::IMessageBox& messageBox_;
    shell::RegistryLayer& registry_;
    traces::ITraceCatalog& traces_;
};

}  // namespace orvelle::cleaning
