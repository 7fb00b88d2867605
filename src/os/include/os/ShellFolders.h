#pragma once

#include <optional>
#include <string>

namespace orvelle::os {

// Shell folder ids the program asks for.
inline constexpr int CSIDL_PERSONAL = 5;
inline constexpr int CSIDL_FAVORITES = 6;
inline constexpr int CSIDL_RECENT = 8;
inline constexpr int CSIDL_INTERNET_CACHE = 0x20;
inline constexpr int CSIDL_COOKIES = 0x21;
inline constexpr int CSIDL_HISTORY = 0x22;

// The shell's special folders.
class IShellFolders {
public:
    virtual ~IShellFolders() = default;

    // The folder's full path without a trailing separator (it need not exist), or
    // nullopt when the shell has none for this id (the lookup fails). Never the
    // file-system root or the user's home folder.
    [[nodiscard]] virtual std::optional<std::string> SHGetSpecialFolderPathA(int csidl) = 0;
};

}  // namespace orvelle::os
