#pragma once

#include "store/Registry.h"

#include <string>
#include <vector>

namespace orvelle::browsers {

// The registry key whose string values (any names) list further profile folders
// to watch for a browser's debugging port, one folder per value.
inline constexpr const char* kProfileFoldersKey = "Software\\Orvelle\\PopupKiller\\ProfileFolders";

// The profile folders a browser's "DevToolsActivePort" is looked for in: the user data
// folder of every Chromium-family row of the browser table (deb, snap, flatpak), every
// folder below
// "<configuration home>/orvelle/browsers", and the folders listed in the registry
// store under HKCU\<kProfileFoldersKey> ("~/" stands for the home folder; relative
// paths are ignored). Each folder once, in that order.
[[nodiscard]] std::vector<std::string> BrowserProfileFolders(store::IRegistry& registry,
                                                             const std::string& home,
                                                             const std::string& configHome);

// The folders listed in the registry store alone.
[[nodiscard]] std::vector<std::string> ListedProfileFolders(store::IRegistry& registry,
                                                            const std::string& home);

}  // namespace orvelle::browsers
