#pragma once

#include "os/ShellFolders.h"
#include "store/Registry.h"

namespace orvelle::os::posix {

// The shell's special folders on Linux: the user's own choice under
// HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders (value
// names as the platform has them: Personal, Favorites, Recent, Cache, Cookies,
// History; %VARIABLES% expanded), else the Linux equivalent: Personal is the XDG
// documents folder. Linux has no single Recent, Internet cache, Favorites, Cookies
// or History folder, so those lookups fail and their cleaning steps take their
// locations from the trace catalog. A folder that comes out as "/" or the home
// folder fails too.
class PosixShellFolders final : public IShellFolders {
public:
    explicit PosixShellFolders(store::IRegistry& registry) : registry_(registry) {}

    static constexpr const char* kUserShellFolders =
        "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

    [[nodiscard]] std::optional<std::string> SHGetSpecialFolderPathA(int csidl) override;

    // XDG_DOCUMENTS_DIR of $XDG_CONFIG_HOME/user-dirs.dirs, else $HOME/Documents.
    [[nodiscard]] static std::string DocumentsFolder();

private:
    [[nodiscard]] std::optional<std::string> UserOverride(const std::string& valueName);

    store::IRegistry& registry_;
};

}  // namespace orvelle::os::posix
