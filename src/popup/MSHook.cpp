#include "MSHook.h"

#include <exception>
#include <utility>

namespace orvelle::popup {
namespace {

// The hook's steps ignore their errors and go on with the next step: a desktop without the
// hot key is no reason to stop the program.
template <typename Step>
void IgnoringErrors(Step&& step) noexcept {
    try {
        step();
    } catch (const std::exception&) {
    }
}

}  // namespace

MSHook::MSHook(popup::IHookLibrary& library, popup::IWindowProcedure& procedures,
               desktop::IMessageBox& messageBox, const os::IProcessInfo& process,
               HideShowWindows& hideShow, std::string applicationTitle)
    : library_(library),
      procedures_(procedures),
      messageBox_(messageBox),
      process_(process),
      hideShow_(hideShow),
      applicationTitle_(std::move(applicationTitle)) {
}

MSHook::~MSHook() {
    if (hookHandle_ != 0 || bLibraryLoaded_ || bProcedureReplaced_) {
        RemoveKeyboardHook();
    }
}

void MSHook::InstallKeyboardHook(desktop::WindowHandle mainWindow) {
    bWindowsShown_ = true;
    targetWindow_ = mainWindow;
    IgnoringErrors([&] {
        bLibraryLoaded_ = library_.LoadLibraryA(
            process_.ProgramFolder() + process_.PathSeparator() + library_.LibraryFileName());
    });
    IgnoringErrors([&] { hookHandle_ = library_.SetWindowsHookExA(targetWindow_); });
    IgnoringErrors([&] { hotKeyState_ = library_.LibHook(hookHandle_); });
    IgnoringErrors([&] { ReplaceWindowProcedure(); });
}

void MSHook::RemoveKeyboardHook() {
    // The hook is removed before the library that holds its code is unloaded.
    IgnoringErrors([&] {
        if (hookHandle_ != 0) {
            library_.LibUnHook(hookHandle_);
        }
    });
    hookHandle_ = 0;
    hotKeyState_ = popup::HotKeyStatus::Unavailable;
    IgnoringErrors([&] { library_.FreeLibrary(); });
    bLibraryLoaded_ = false;
    IgnoringErrors([&] { RestoreWindowProcedure(); });
    // Once the process ends nothing could bring the hidden windows back: they come back
    // now, with the hook gone so that no key press races with them.
    if (!bWindowsShown_) {
        bWindowsShown_ = true;
        IgnoringErrors([&] { hideShow_.ShowWindows(); });
    }
}

void MSHook::ReplaceWindowProcedure() {
    if (bProcedureReplaced_) {
        messageBox_.Show(kHookedTwiceMessage, applicationTitle_, desktop::MessageIcon::None);
        return;
    }
    previousProcedure_ = procedures_.SetWindowLongA(
        targetWindow_,
        [this](desktop::WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
               std::intptr_t lParam) { return HotKeyWindowProc(window, message, wParam, lParam); });
    bProcedureReplaced_ = true;
}

void MSHook::RestoreWindowProcedure() {
    // Only a replaced procedure is given back: restoring an empty one would cut the window
    // off from its own handling.
    if (!bProcedureReplaced_) {
        return;
    }
    static_cast<void>(procedures_.SetWindowLongA(targetWindow_, std::move(previousProcedure_)));
    previousProcedure_ = nullptr;
    bProcedureReplaced_ = false;
}

std::intptr_t MSHook::HotKeyWindowProc(desktop::WindowHandle window, std::uint32_t message,
                                       std::uintptr_t wParam, std::intptr_t lParam) {
    if (message == popup::WM_KEYDOWN && wParam == popup::kHotKeyMarker) {
        bWindowsShown_ = !bWindowsShown_;
        IgnoringErrors([&] {
            if (bWindowsShown_) {
                hideShow_.ShowWindows();
                if (windowsShownHandler_) {
                    windowsShownHandler_();
                }
            } else {
                hideShow_.HideWindows();
            }
        });
    }
    return popup::CallWindowProcA(previousProcedure_, window, message, wParam, lParam);
}

}  // namespace orvelle::popup
