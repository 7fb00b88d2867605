#include "HideShowWindows.h"

#include "os/RuntimeError.h"

#include <algorithm>
#include <cctype>
#include <sstream>

namespace orvelle::popup {
namespace {

constexpr const char* kListHeader = "orvelle-hidden-windows 1";

}  // namespace

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

HideShowWindows::HideShowWindows(popup::IWindowList& windows, popup::IHiddenWindowsFile* file)
    : windows_(windows), file_(file) {
}

void HideShowWindows::HideWindows() {
    hiddenWindows_.assign(2, 0);
    recorded_.assign(2, Hidden{});
    for (const desktop::WindowHandle window : windows_.EnumWindows()) {
        if (!HideWindowIfListed(window, 0)) {
            break;
        }
    }
}

bool HideShowWindows::HideWindowIfListed(desktop::WindowHandle window, std::intptr_t /*lParam*/) {
    const std::string title = windows_.GetWindowTextA(window, kTitleLength);
    // Desktops, docks and panels are this desktop's "Program Manager": they stay.
    if (IsHideableTitle(title) && windows_.IsWindowVisible(window) &&
        !windows_.IsDesktopWindow(window)) {
        // Taken before the hide, which makes the desktop forget it.
        recorded_.push_back({window, title, windows_.GetWindowPlacement(window)});
        hiddenWindows_.push_back(window);
        // Listed before it is hidden: a crash right after leaves no window unlisted.
        SaveList();
        // A window that is gone meanwhile fails to hide; showing it later fails as quietly.
        static_cast<void>(windows_.ShowWindow(window, popup::SW_HIDE));
    }
    return true;
}

void HideShowWindows::ShowAt(std::size_t position) {
    const desktop::WindowHandle window = hiddenWindows_[position];
    // The empty places hold no window; one closed meanwhile simply fails.
    if (window == 0 || !windows_.ShowWindow(window, popup::SW_SHOW)) {
        return;
    }
    if (const auto& placement = recorded_[position].placement) {
        static_cast<void>(windows_.SetWindowPlacement(window, *placement));
    }
}

void HideShowWindows::ShowWindows() {
    for (std::size_t position = 1; position < hiddenWindows_.size(); ++position) {
        ShowAt(position);
    }
    if (file_ != nullptr) {
        file_->Remove();
    }
}

void HideShowWindows::ShowWindow(desktop::WindowHandle window) {
    const auto found = std::find(hiddenWindows_.begin() + 2, hiddenWindows_.end(), window);
    if (found != hiddenWindows_.end()) {
        ShowAt(static_cast<std::size_t>(found - hiddenWindows_.begin()));
    } else {
        static_cast<void>(windows_.ShowWindow(window, popup::SW_SHOW));
    }
}

void HideShowWindows::ShowLeftOverWindows() {
    if (file_ == nullptr) {
        return;
    }
    const auto text = file_->Read();
    if (!text) {
        return;
    }
    for (const Hidden& hidden : ParseList(*text)) {
        // A window id may be given to another window once its owner is gone: only the
        // same title, still hidden, counts as the window that was hidden.
        if (!windows_.GetWindowPlacement(hidden.window) ||
            windows_.GetWindowTextA(hidden.window, kTitleLength) != hidden.title ||
            windows_.IsWindowVisible(hidden.window)) {
            continue;
        }
        if (windows_.ShowWindow(hidden.window, popup::SW_SHOW) && hidden.placement) {
            static_cast<void>(windows_.SetWindowPlacement(hidden.window, *hidden.placement));
        }
    }
    file_->Remove();
}

void HideShowWindows::SaveList() {
    if (file_ == nullptr) {
        return;
    }
    try {
        file_->Write(FormatList({recorded_.begin() + 2, recorded_.end()}));
    } catch (const os::RuntimeError&) {
        // Without the file only a crash loses the windows; the hot key itself works on.
    }
}

std::string HideShowWindows::FormatList(const std::vector<Hidden>& hidden) {
    std::ostringstream out;
    out << kListHeader << '\n';
    for (const Hidden& entry : hidden) {
        out << entry.window;
        if (const auto& p = entry.placement) {
            out << ' ' << p->x << ' ' << p->y << ' ' << p->width << ' ' << p->height << ' '
                << p->maximizedHorizontally << p->maximizedVertically << p->fullscreen << p->sticky
                << ' ';
            if (p->desktop) {
                out << *p->desktop;
            } else {
                out << '-';
            }
        } else {
            out << " - - - - 0000 -";
        }
        // The title goes last: it may hold spaces, never a line break (those are cut).
        std::string title = entry.title;
        std::replace(title.begin(), title.end(), '\n', ' ');
        out << ' ' << title << '\n';
    }
    return out.str();
}

std::vector<HideShowWindows::Hidden> HideShowWindows::ParseList(const std::string& text) {
    std::vector<Hidden> hidden;
    std::istringstream in(text);
    std::string line;
    if (!std::getline(in, line) || line != kListHeader) {
        return hidden;
    }
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        Hidden entry;
        std::string x, y, width, height, flags, desktop;
        if (!(fields >> entry.window >> x >> y >> width >> height >> flags >> desktop) ||
            flags.size() != 4 || flags.find_first_not_of("01") != std::string::npos) {
            continue;
        }
        fields.get();  // the space before the title
        std::getline(fields, entry.title);
        if (x != "-") {
            try {
                popup::WindowPlacement placement;
                placement.x = std::stoi(x);
                placement.y = std::stoi(y);
                placement.width = std::stoi(width);
                placement.height = std::stoi(height);
                placement.maximizedHorizontally = flags[0] == '1';
                placement.maximizedVertically = flags[1] == '1';
                placement.fullscreen = flags[2] == '1';
                placement.sticky = flags[3] == '1';
                if (desktop != "-") {
                    placement.desktop = static_cast<std::uint32_t>(std::stoul(desktop));
                }
                entry.placement = placement;
            } catch (const std::exception&) {
                continue;  // a damaged line names no window we could trust
            }
        }
        hidden.push_back(std::move(entry));
    }
    return hidden;
}

}  // namespace orvelle::popup
