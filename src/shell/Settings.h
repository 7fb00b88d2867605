#pragma once

// The catalogue of the settings store: every section and key the program uses.

#include "desktop/MessageBox.h"
#include "store/SettingsStore.h"

#include <cstdint>
#include <string>

namespace orvelle::shell::settings {

inline constexpr const char* kPopupKiller = "PopupKiller";
inline constexpr const char* kIsActive = "IsActive";
// "1" also watches Chromium-family browsers started with a debugging port (off by
// default: that port lets any local process read the browser).
inline constexpr const char* kDevToolsPort = "DevToolsPort";
inline constexpr const char* kHomePage = "HomePage";
inline constexpr const char* kStartPage = "StartPage";
inline constexpr const char* kOptions = "Options";
inline constexpr const char* kStartUp = "StartUp";
inline constexpr const char* kSettings = "Settings";  // application = the program folder
inline constexpr const char* kIndexPrefix = "Index";
inline constexpr const char* kSchedule = "Schedule";
inline constexpr const char* kRunOn = "RunOn";
inline constexpr const char* kDate = "Date";
inline constexpr const char* kTime = "Time";
inline constexpr const char* kRunAfter = "RunAfter";
inline constexpr const char* kLastRunTime = "LastRunTime";

// Reads a setting that must hold a number and converts it as the run-time does.
// A damaged text (no number) does not stop the caller: the error box names the
// setting and what it holds, and `fallback` is used instead.
std::int32_t ReadNumberSetting(store::ISettingsStore& store, desktop::IMessageBox& messageBox,
                               const std::string& application, const std::string& section,
                               const std::string& key, const std::string& defaultText,
                               std::int32_t fallback);

}  // namespace orvelle::shell::settings
