#include "BrowserReach.h"

#include <sys/stat.h>

#include <algorithm>

namespace orvelle::browsers::extension {

namespace {

void AddOnce(std::vector<std::string>& names, const std::string& name) {
    if (std::find(names.begin(), names.end(), name) == names.end()) {
        names.push_back(name);
    }
}

std::string Joined(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) {
        text += (text.empty() ? "" : ", ") + name;
    }
    return text;
}

}  // namespace

FoundBrowsers FindBrowsers(const browsers::BaseFolders& folders) {
    FoundBrowsers found;
    for (const browsers::Browser& row : browsers::AllBrowsers()) {
        const std::string root = browsers::Resolve(row.profileRoot, folders);
        struct stat info {};
        if (root.empty() || ::stat(root.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
            continue;
        }
        AddOnce(row.packaging == browsers::Packaging::Deb ? found.reachable : found.sandboxed,
                row.name);
    }
    return found;
}

std::string ConnectionHint(const FoundBrowsers& found) {
    std::string hint =
        "No browser is connected: install Orvelle's package (it adds the extension to "
        "Firefox ESR and Chromium), then ";
    hint += found.reachable.empty() ? std::string("start the browser.")
                                    : "restart " + Joined(found.reachable) + ".";
    if (!found.sandboxed.empty()) {
        hint += " " + Joined(found.sandboxed) +
                " cannot connect: snap and flatpak browsers cannot reach Orvelle here.";
    }
    return hint;
}

}  // namespace orvelle::browsers::extension
