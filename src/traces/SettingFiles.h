#pragma once

#include <string>
#include <utility>
#include <vector>

namespace orvelle::traces {

// The settings files a clean writes. Each is rewritten atomically (a killed
// process leaves the old or the new file), keeps its mode and every entry it does
// not own, never writes through a symbolic link, and returns "" or what went wrong;
// a file that cannot be understood is left as it is.

// Sets Firefox preferences in user.js (created when missing): every earlier
// user_pref line of these names goes, the new ones are added at the end.
// Values are JavaScript literals: "true", "1", or a quoted string (see JsString).
[[nodiscard]] std::string SetUserPrefs(
    const std::string& userJs, const std::vector<std::pair<std::string, std::string>>& prefs);
// `text` as a JavaScript string literal.
[[nodiscard]] std::string JsString(const std::string& text);
// Chromium's Preferences: `address` as the home page and the one start-up page.
[[nodiscard]] std::string SetChromiumStartPage(const std::string& preferences,
                                               const std::string& address);
// Chromium's Preferences: the site and media engagement entries (one per site
// visited) under profile.content_settings.exceptions; every other exception, the
// permissions the user set, stays.
[[nodiscard]] std::string RemoveChromiumEngagement(const std::string& preferences);
// recently-used.xbel as a valid empty list.
[[nodiscard]] std::string EmptyRecentList(const std::string& xbel);
// KRunner's history= entries (krunnerstaterc [PlasmaRunnerManager], krunnerrc [General]).
[[nodiscard]] std::string RemoveKRunnerHistory(const std::string& file);

}  // namespace orvelle::traces
