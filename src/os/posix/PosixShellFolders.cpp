#include "PosixShellFolders.h"

#include "XdgPaths.h"
#include "kit/PathText.h"

#include <cstdlib>
#include <fstream>
#include <vector>

namespace orvelle::os::posix {
namespace {

const char* ValueName(int csidl) {
    switch (csidl) {
    case CSIDL_PERSONAL:
        return "Personal";
    case CSIDL_FAVORITES:
        return "Favorites";
    case CSIDL_RECENT:
        return "Recent";
    case CSIDL_INTERNET_CACHE:
        return "Cache";
    case CSIDL_COOKIES:
        return "Cookies";
    case CSIDL_HISTORY:
        return "History";
    default:
        return nullptr;
    }
}

std::string WithoutTrailingSlashes(std::string path) {
    kit::TrimTrailingSeparators(path);
    return path;
}

// Expands %NAME% from the environment; %USERPROFILE% is the home folder here.
// An unknown variable stays as written, as the platform leaves it.
std::string ExpandVariables(const std::string& text) {
    std::string result;
    std::size_t position = 0;
    while (position < text.size()) {
        const auto open = text.find('%', position);
        const auto close = open == std::string::npos ? open : text.find('%', open + 1);
        if (close == std::string::npos) {
            result += text.substr(position);
            break;
        }
        result += text.substr(position, open - position);
        const std::string name = text.substr(open + 1, close - open - 1);
        const char* value = std::getenv(name.c_str());
        if (name == "USERPROFILE" && value == nullptr) {
            result += XdgPaths::Home();
        } else if (value != nullptr && !name.empty()) {
            result += value;
        } else {
            result += text.substr(open, close - open + 1);
        }
        position = close + 1;
    }
    return result;
}

}  // namespace

std::string PosixShellFolders::DocumentsFolder() {
    std::string home = XdgPaths::Home();
    std::ifstream file(XdgPaths::ConfigHome() + "/user-dirs.dirs");
    std::string line;
    const std::string key = "XDG_DOCUMENTS_DIR=";
    while (std::getline(file, line)) {
        const auto start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line.compare(start, key.size(), key) != 0) {
            continue;
        }
        std::string value = line.substr(start + key.size());
        while (!value.empty() &&
               (value.back() == ' ' || value.back() == '\t' || value.back() == '\r')) {
            value.pop_back();
        }
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
            value = value.substr(1, value.size() - 2);
        }
        // The file allows "$HOME/…" or an absolute path, nothing else.
        if (value == "$HOME") {
            return home;
        }
        if (value.rfind("$HOME/", 0) == 0) {
            return home + value.substr(5);
        }
        if (!value.empty() && value[0] == '/') {
            return value;
        }
    }
    return home + "/Documents";
}

std::optional<std::string> PosixShellFolders::UserOverride(const std::string& valueName) {
    store::HKEY handle = store::kNullKey;
    static_cast<void>(registry_.RegOpenKeyExA(store::HKEY_CURRENT_USER, kUserShellFolders,
                                              store::KEY_READ, handle));
    const store::RegistryKey key(registry_, handle);
    std::uint32_t type = store::REG_NONE;
    std::uint32_t size = 0;
    if (registry_.RegQueryValueExA(key.get(), valueName, &type, nullptr, &size) !=
            store::ERROR_SUCCESS ||
        (type != store::REG_SZ && type != store::REG_EXPAND_SZ) || size == 0) {
        return std::nullopt;
    }
    std::vector<unsigned char> data(size, 0);
    if (registry_.RegQueryValueExA(key.get(), valueName, &type, data.data(), &size) !=
        store::ERROR_SUCCESS) {
        return std::nullopt;
    }
    std::string text(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(size));
    const auto end = text.find('\0');
    if (end != std::string::npos) {
        text.resize(end);
    }
    text = ExpandVariables(text);
    // Only a full path is a folder; anything else is ignored as the platform would fail it.
    if (text.empty() || text[0] != '/') {
        return std::nullopt;
    }
    return text;
}

std::optional<std::string> PosixShellFolders::SHGetSpecialFolderPathA(int csidl) {
    const char* valueName = ValueName(csidl);
    if (valueName == nullptr) {
        return std::nullopt;
    }
    std::optional<std::string> folder = UserOverride(valueName);
    if (!folder) {
        switch (csidl) {
        case CSIDL_PERSONAL:
            folder = DocumentsFolder();
            break;
        default:
            // Recent, the Internet cache, Favorites, Cookies, History: Linux has no
            // single folder for them; the trace catalog names their real locations
            // (the whole cache folder is every program's, never a cleaning target).
            return std::nullopt;
        }
    }
    folder = WithoutTrailingSlashes(*folder);
    // Cleaning "/" or the whole home folder is never what a special folder means
    // (xdg-user-dirs points a disabled folder at $HOME).
    if (*folder == "/" || *folder == WithoutTrailingSlashes(XdgPaths::Home())) {
        return std::nullopt;
    }
    return folder;
}

}  // namespace orvelle::os::posix
