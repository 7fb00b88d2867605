#include "HideShowWindows.h"

#include <algorithm>
#include <cctype>

namespace orvelle::popup {

bool IsHideableTitle(const std::string& title) {
    const auto first = title.find_first_not_of(' ');
    if (first == std::string::npos) {
        return false;
    }
    std::string upper = title;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return upper != "SYSTEM AGENT COM WINDOW" && upper != "PROGRAM MANAGER";
}

HideShowWindows::HideShowWindows(platform::IWindowList& windows) : windows_(windows) {
}

void HideShowWindows::HideWindows() {
    hiddenWindows_.assign(2, 0);
    for (const platform::WindowHandle window : windows_.EnumWindows()) {
        if (!HideWindowIfListed(window, 0)) {
            break;
        }
    }
}

bool HideShowWindows::HideWindowIfListed(platform::WindowHandle window, std::intptr_t /*lParam*/) {
    const std::string title = windows_.GetWindowTextA(window, kTitleLength);
    // Desktops, docks and panels are this desktop's "Program Manager": they stay.
    if (IsHideableTitle(title) && windows_.IsWindowVisible(window) &&
        !windows_.IsDesktopWindow(window)) {
        // A window that is gone meanwhile fails to hide; showing it later fails as quietly.
        static_cast<void>(windows_.ShowWindow(window, platform::SW_HIDE));
        hiddenWindows_.push_back(window);
    }
    return true;
}

void HideShowWindows::ShowWindows() {
    for (std::size_t position = 1; position < hiddenWindows_.size(); ++position) {
        const platform::WindowHandle window = hiddenWindows_[position];
        // The empty places hold no window; one closed meanwhile simply fails.
        if (window != 0) {
            static_cast<void>(windows_.ShowWindow(window, platform::SW_SHOW));
        }
    }
}

}  // namespace orvelle::popup
