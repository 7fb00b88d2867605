#pragma once

#include "platform/WindowList.h"

#include <cstdint>
#include <string>
#include <vector>

namespace orvelle::popup {

// Hides every visible titled top-level window of the desktop at once and shows the same
// windows again later.
class HideShowWindows {
public:
    explicit HideShowWindows(platform::IWindowList& windows);

    // Forgets the last set, then hides and remembers every window that HideWindowIfListed
    // accepts.
    void HideWindows();
    // The enumeration step of HideWindows for one window; true: go on with the next.
    bool HideWindowIfListed(platform::WindowHandle window, std::intptr_t lParam);
    // Shows every window the last HideWindows hid; the set is kept, so a second call shows
    // the same windows again.
    void ShowWindows();

    // The hidden windows: positions 0 and 1 are always empty (0), the windows follow.
    [[nodiscard]] const std::vector<platform::WindowHandle>& HiddenWindows() const noexcept {
        return hiddenWindows_;
    }

    // Longest title looked at, in bytes.
    static constexpr std::size_t kTitleLength = 255;

private:
    platform::IWindowList& windows_;
    std::vector<platform::WindowHandle> hiddenWindows_{0, 0};
};

// Whether a window with this title is one the hot key hides: a title that is not blank
// (spaces only) and is not one of the desktop's own windows, in any letter case.
bool IsHideableTitle(const std::string& title);

}  // namespace orvelle::popup
