#include "BrowserSettings.h"

#include "CleaningTraces.h"

#include "ErrorBox.h"
#include "Settings.h"
#include "Version.h"

namespace orvelle::cleaning {
namespace {

// Never a stored address: tells "no home page stored" from any text the user set.
constexpr const char* kNotStored = "\x01";

// Writes `address` as the start page of every browser profile found; the texts of
// what was left unchanged, one a line.
std::string SetBrowserStartPages(traces::ITraceCatalog& traces, const std::string& address) {
    const traces::TraceFindings found = traces.FindStartPage(address);
    std::string failures;
    for (const traces::SkippedProfile& skipped : found.skipped) {
        failures += "\n" + CleaningTraces::SkippedText(skipped);
    }
    for (const traces::TraceItem& item : found.items) {
        if (const traces::TraceOutcome outcome = traces.Apply(item); !outcome.ok()) {
            failures += "\n" + outcome.error;
        }
    }
    return failures;
}

}  // namespace

void BrowserSettings::WriteMainValue(const char* name, const std::string& text) {
    registry_.SetUserKeyValue(kMainKey, name, text, store::REG_SZ);
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
        if (const std::string failures = SetBrowserStartPages(traces_, address);
            !failures.empty()) {
            throw os::RuntimeError(os::errors::kPathFileAccessError,
                                   "The start page was not set everywhere:" + failures);
        }
    });
}

void BrowserSettings::RestoreStartPage(ITextField& txtHomePageURL) {
    const std::string stored =
        settings_.GetSetting(shell::ApplicationTitle(), shell::settings::kHomePage,
                             shell::settings::kStartPage, kNotStored);
    txtHomePageURL.SetText(stored == kNotStored ? std::string(kDefaultHomePage) : stored);
    WriteMainValue(kStartPage, txtHomePageURL.Text());
    if (stored != kNotStored) {
        // Not reported: a browser open now keeps its page until the next start, and
        // the load step must go on.
        static_cast<void>(SetBrowserStartPages(traces_, stored));
    }
}

}  // namespace orvelle::cleaning
