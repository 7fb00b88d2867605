#pragma once

#include <string>

namespace orvelle::os::posix {

// The freedesktop base directories, read from the environment on every call so
// that tests can point them at a private tree.
struct XdgPaths {
    // $HOME, else the password database's home; never empty ("/" at worst).
    static std::string Home();
    // $XDG_CONFIG_HOME when absolute, else ~/.config.
    static std::string ConfigHome();
    // $XDG_DATA_HOME when absolute, else ~/.local/share.
    static std::string DataHome();
    // $XDG_CACHE_HOME when absolute, else ~/.cache.
    static std::string CacheHome();
    // $XDG_STATE_HOME when absolute, else ~/.local/state.
    static std::string StateHome();
    // $XDG_RUNTIME_DIR when it is an absolute folder owned by this user, else "".
    static std::string RuntimeDir();
    // The program's own configuration folder, created (mode 0700) when missing.
    static std::string OrvelleConfigDir();
};

// Creates `path` and its missing parents with `mode`; true when it exists afterwards.
bool MakeDirectories(const std::string& path, unsigned mode);

}  // namespace orvelle::os::posix
