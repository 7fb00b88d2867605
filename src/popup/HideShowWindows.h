#pragma once

#include "popup/HiddenWindowsFile.h"
#include "popup/WindowList.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orvelle::popup {

// Hides every visible titled top-level window of the desktop at once and shows the same
// windows again later, each at its place and in its state (maximised, full screen, on
// every desktop, the desktop it was on). The hidden set is also kept in a file, so that
// the next start can bring the windows back when this process dies without its unload.
class HideShowWindows {
public:
    // `file` may be null: the set is then kept in memory only.
    explicit HideShowWindows(popup::IWindowList& windows,
                             popup::IHiddenWindowsFile* file = nullptr);

    // Forgets the last set, then hides and remembers every window that HideWindowIfListed
    // accepts.
    void HideWindows();
    // The enumeration step of HideWindows for one window; true: go on with the next.
    bool HideWindowIfListed(desktop::WindowHandle window, std::intptr_t lParam);
    // Shows every window the last HideWindows hid; the set is kept, so a second call shows
    // the same windows again.
    void ShowWindows();
    // Shows one window; one of the hidden set gets its place and state back as well.
    void ShowWindow(desktop::WindowHandle window);
    // Shows what a process that ended without its unload step left hidden: every listed
    // window that still exists, still has its title and is still hidden. The list goes.
    void ShowLeftOverWindows();

    // The hidden windows: positions 0 and 1 are always empty (0), the windows follow.
    [[nodiscard]] const std::vector<desktop::WindowHandle>& HiddenWindows() const noexcept {
        return hiddenWindows_;
    }

    // Longest title looked at, in bytes.
    static constexpr std::size_t kTitleLength = 255;

    // One hidden window as the file keeps it.
    struct Hidden {
        desktop::WindowHandle window = 0;
        std::string title;
        std::optional<popup::WindowPlacement> placement;

        friend bool operator==(const Hidden&, const Hidden&) = default;
    };
    // The file's text for `hidden`, and back; lines that cannot be read are left out.
    [[nodiscard]] static std::string FormatList(const std::vector<Hidden>& hidden);
    [[nodiscard]] static std::vector<Hidden> ParseList(const std::string& text);

private:
    void ShowAt(std::size_t position);
    void SaveList();

    popup::IWindowList& windows_;
    popup::IHiddenWindowsFile* file_;
    std::vector<desktop::WindowHandle> hiddenWindows_{0, 0};
    // Parallel to hiddenWindows_: what each one was when it was hidden.
    std::vector<Hidden> recorded_{Hidden{}, Hidden{}};
};

// Whether a window with this title is one the hot key hides: a title that is not blank
// (spaces only) and is not one of the desktop's own windows, in any letter case.
bool IsHideableTitle(const std::string& title);

}  // namespace orvelle::popup
