#pragma once

#include "HideShowWindows.h"
#include "desktop/MessageBox.h"
#include "os/ProcessInfo.h"
#include "popup/HookLibrary.h"
#include "popup/WindowProcedure.h"

#include <functional>
#include <string>

namespace orvelle::popup {

// The hot key that hides every window: loads the hook library from the program folder,
// installs its keyboard hook for the main window, and takes over the main window's message
// procedure so that each marker message flips between hiding and showing the desktop's
// windows. Without the library or a display it changes nothing but the procedure.
class MSHook {
public:
    MSHook(popup::IHookLibrary& library, popup::IWindowProcedure& procedures,
           desktop::IMessageBox& messageBox, const os::IProcessInfo& process,
           HideShowWindows& hideShow, std::string applicationTitle);
    // Removes what is still installed.
    ~MSHook();
    MSHook(const MSHook&) = delete;
    MSHook& operator=(const MSHook&) = delete;

    // Loads the library, installs the hook for `mainWindow` and replaces its procedure;
    // a failing step is skipped and the next one runs.
    void InstallKeyboardHook(desktop::WindowHandle mainWindow);
    // Removes the hook, unloads the library and gives the main window its procedure back;
    // then shows the windows the hot key left hidden.
    void RemoveKeyboardHook();
    // Puts HotKeyWindowProc in front of the main window's procedure; a second call without
    // RestoreWindowProcedure between says so and changes nothing.
    void ReplaceWindowProcedure();
    // Gives the main window back the procedure it had before ReplaceWindowProcedure.
    void RestoreWindowProcedure();
    // The main window's procedure while replaced: the marker flips the desktop between hidden
    // and shown; every message then goes on, unchanged, to the previous procedure.
    std::intptr_t HotKeyWindowProc(desktop::WindowHandle window, std::uint32_t message,
                                   std::uintptr_t wParam, std::intptr_t lParam);

    // Called after the hot key has shown the windows again.
    void SetWindowsShownHandler(std::function<void()> handler) {
        windowsShownHandler_ = std::move(handler);
    }

    // True while the desktop is in its normal state (not hidden by the hot key).
    [[nodiscard]] bool WindowsShown() const noexcept { return bWindowsShown_; }
    [[nodiscard]] bool ProcedureReplaced() const noexcept { return bProcedureReplaced_; }
    // What became of the hot key at install; Unavailable before it.
    [[nodiscard]] popup::HotKeyStatus HotKeyState() const noexcept { return hotKeyState_; }

    static constexpr const char* kHookedTwiceMessage =
        "Don't hook it twice without unhooking, or you will be unable to unhook it.";

private:
    popup::IHookLibrary& library_;
    popup::IWindowProcedure& procedures_;
    desktop::IMessageBox& messageBox_;
    const os::IProcessInfo& process_;
    HideShowWindows& hideShow_;
    std::string applicationTitle_;

    bool bWindowsShown_ = true;
    std::function<void()> windowsShownHandler_;
    desktop::WindowHandle targetWindow_ = 0;
    popup::WindowProc previousProcedure_;
    bool bProcedureReplaced_ = false;
    bool bLibraryLoaded_ = false;
    popup::HookHandle hookHandle_ = 0;
    popup::HotKeyStatus hotKeyState_ = popup::HotKeyStatus::Unavailable;
};

}  // namespace orvelle::popup
