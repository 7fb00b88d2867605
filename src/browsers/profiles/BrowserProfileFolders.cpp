#include "BrowserProfileFolders.h"

#include "browsers/BrowserTable.h"
#include "kit/PathText.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>

namespace orvelle::browsers {

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

// The sub-folders of `folder`, by name (links are not followed).
std::vector<std::string> SubFolders(const std::string& folder) {
    std::vector<std::string> found;
    std::unique_ptr<DIR, DirCloser> dir(opendir(folder.c_str()));
    if (!dir) {
        return found;
    }
    while (const dirent* entry = readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        const std::string path = folder + "/" + name;
        struct stat info {};
        if (::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
            found.push_back(path);
        }
    }
    std::sort(found.begin(), found.end());
    return found;
}

void AddOnce(std::vector<std::string>& folders, std::string folder) {
    kit::TrimTrailingSeparators(folder);
    if (std::find(folders.begin(), folders.end(), folder) == folders.end()) {
        folders.push_back(std::move(folder));
    }
}

}  // namespace

std::vector<std::string> ListedProfileFolders(store::IRegistry& registry, const std::string& home) {
    std::vector<std::string> folders;
    store::HKEY handle = store::kNullKey;
    if (registry.RegOpenKeyExA(store::HKEY_CURRENT_USER, kProfileFoldersKey, store::KEY_READ,
                               handle) != store::ERROR_SUCCESS) {
        return folders;
    }
    const store::RegistryKey key(registry, handle);
    for (std::uint32_t index = 0;; ++index) {
        std::string name;
        std::uint32_t type = store::REG_NONE;
        std::vector<unsigned char> data;
        if (registry.RegEnumValueA(key.get(), index, name, type, data) != store::ERROR_SUCCESS) {
            break;
        }
        if (type != store::REG_SZ && type != store::REG_EXPAND_SZ) {
            continue;
        }
        std::string folder(data.begin(), std::find(data.begin(), data.end(), '\0'));
        if (folder.rfind("~/", 0) == 0) {
            folder = home + folder.substr(1);
        }
        if (folder.empty() || folder.front() != '/') {
            continue;  // relative to what? nothing sensible: ignored
        }
        AddOnce(folders, folder);
    }
    return folders;
}

std::vector<std::string> BrowserProfileFolders(store::IRegistry& registry, const std::string& home,
                                               const std::string& configHome) {
    std::vector<std::string> folders;
    // Every Chromium-family user data folder of the browser table; the cache base is
    // not needed here.
    const browsers::BaseFolders bases{home, configHome, {}};
    for (auto& browser : browsers::ResolveBrowsers(bases, browsers::Family::Chromium)) {
        AddOnce(folders, std::move(browser.profileRoot));
    }
    for (auto& folder : SubFolders(configHome + "/orvelle/browsers")) {
        AddOnce(folders, std::move(folder));
    }
    for (auto& folder : ListedProfileFolders(registry, home)) {
        AddOnce(folders, std::move(folder));
    }
    return folders;
}

}  // namespace orvelle::browsers
