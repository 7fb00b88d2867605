#include "browsers/BrowserTable.h"

namespace orvelle::browsers {
namespace {

constexpr Location H(const char* relative) {
    return {Base::Home, relative};
}
constexpr Location C(const char* relative) {
    return {Base::ConfigHome, relative};
}
constexpr Location K(const char* relative) {
    return {Base::CacheHome, relative};
}

using enum Family;
using enum Packaging;

// Firefox ESR on an empty home creates its profile under $XDG_CONFIG_HOME, older homes
// keep ~/.mozilla: both are tried. Caches live outside the sandbox's config folder.
constexpr Browser kBrowsers[] = {
    {"Firefox", Firefox, Deb, H(".mozilla/firefox"), K("mozilla/firefox")},
    {"Firefox", Firefox, Deb, C("mozilla/firefox"), K("mozilla/firefox")},
    {"Firefox (snap)", Firefox, Snap, H("snap/firefox/common/.mozilla/firefox"),
     H("snap/firefox/common/.cache/mozilla/firefox")},
    {"Firefox (flatpak)", Firefox, Flatpak, H(".var/app/org.mozilla.firefox/.mozilla/firefox"),
     H(".var/app/org.mozilla.firefox/cache/mozilla/firefox")},

    {"Chromium", Chromium, Deb, C("chromium"), K("chromium")},
    {"Chromium (snap)", Chromium, Snap, H("snap/chromium/common/chromium"),
     H("snap/chromium/common/.cache/chromium")},
    {"Chromium (flatpak)", Chromium, Flatpak, H(".var/app/org.chromium.Chromium/config/chromium"),
     H(".var/app/org.chromium.Chromium/cache/chromium")},
    {"Google Chrome", Chromium, Deb, C("google-chrome"), K("google-chrome")},
    {"Google Chrome Beta", Chromium, Deb, C("google-chrome-beta"), K("google-chrome-beta")},
    {"Google Chrome Unstable", Chromium, Deb, C("google-chrome-unstable"),
     K("google-chrome-unstable")},
    {"Google Chrome (flatpak)", Chromium, Flatpak,
     H(".var/app/com.google.Chrome/config/google-chrome"),
     H(".var/app/com.google.Chrome/cache/google-chrome")},
    {"Brave", Chromium, Deb, C("BraveSoftware/Brave-Browser"), K("BraveSoftware/Brave-Browser")},
    {"Brave Beta", Chromium, Deb, C("BraveSoftware/Brave-Browser-Beta"),
     K("BraveSoftware/Brave-Browser-Beta")},
    {"Brave Nightly", Chromium, Deb, C("BraveSoftware/Brave-Browser-Nightly"),
     K("BraveSoftware/Brave-Browser-Nightly")},
    {"Brave (flatpak)", Chromium, Flatpak,
     H(".var/app/com.brave.Browser/config/BraveSoftware/Brave-Browser"),
     H(".var/app/com.brave.Browser/cache/BraveSoftware/Brave-Browser")},
    {"Microsoft Edge", Chromium, Deb, C("microsoft-edge"), K("microsoft-edge")},
    {"Microsoft Edge Beta", Chromium, Deb, C("microsoft-edge-beta"), K("microsoft-edge-beta")},
    {"Microsoft Edge Dev", Chromium, Deb, C("microsoft-edge-dev"), K("microsoft-edge-dev")},
    {"Microsoft Edge (flatpak)", Chromium, Flatpak,
     H(".var/app/com.microsoft.Edge/config/microsoft-edge"),
     H(".var/app/com.microsoft.Edge/cache/microsoft-edge")},
    {"Vivaldi", Chromium, Deb, C("vivaldi"), K("vivaldi")},
    {"Vivaldi Snapshot", Chromium, Deb, C("vivaldi-snapshot"), K("vivaldi-snapshot")},
    {"Opera", Chromium, Deb, C("opera"), K("opera")},
};

const std::string& BaseFolder(Base base, const BaseFolders& folders) {
    switch (base) {
    case Base::Home:
        return folders.home;
    case Base::ConfigHome:
        return folders.configHome;
    case Base::CacheHome:
        return folders.cacheHome;
    }
    return folders.home;
}

}  // namespace

std::span<const Browser> AllBrowsers() {
    return kBrowsers;
}

std::string Resolve(const Location& location, const BaseFolders& folders) {
    const std::string& base = BaseFolder(location.base, folders);
    if (base.empty()) {
        return {};
    }
    return base + "/" + location.relative;
}

std::vector<ResolvedBrowser> ResolveBrowsers(const BaseFolders& folders, Family family) {
    std::vector<ResolvedBrowser> resolved;
    for (const Browser& row : kBrowsers) {
        if (row.family != family) {
            continue;
        }
        std::string profileRoot = Resolve(row.profileRoot, folders);
        if (profileRoot.empty()) {
            continue;
        }
        resolved.push_back({&row, std::move(profileRoot), Resolve(row.cacheRoot, folders)});
    }
    return resolved;
}

}  // namespace orvelle::browsers
