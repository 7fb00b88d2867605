#pragma once

#include "desktop/WindowHandle.h"

#include <cstdint>
#include <string>

namespace orvelle::popup {

// The marker the hook library delivers to the main window, as WM_KEYDOWN's wParam, on each
// hot-key press.
inline constexpr std::uintptr_t kHotKeyMarker = 99999;

// An installed keyboard hook; 0 is none.
using HookHandle = std::uintptr_t;

// What became of the hot key when the hook was handed to the library.
enum class HotKeyStatus {
    Active,       // the hot key is watched
    Taken,        // another program holds the key combination
    Unavailable,  // no hook library, no X11 display, or the library refused the hook
};

// The outside hook library that turns a global hot key into the marker message.
class IHookLibrary {
public:
    virtual ~IHookLibrary() = default;

    // The library's file name inside the program folder.
    [[nodiscard]] virtual std::string LibraryFileName() const = 0;
    // Loads the library by full path with its exports; false when it is missing or lacks one.
    virtual bool LoadLibraryA(const std::string& path) = 0;
    // Installs the library's keyboard hook for the whole desktop, delivering to `target`;
    // the hook handle, or 0 when no hook can be installed (no library, no display).
    virtual HookHandle SetWindowsHookExA(desktop::WindowHandle target) = 0;
    // Hands the hook to the library (its export LibHook), which starts watching the key.
    [[nodiscard]] virtual HotKeyStatus LibHook(HookHandle hook) = 0;
    // Asks the library to remove the hook (its export LibUnHook); the handle is gone after it.
    virtual void LibUnHook(HookHandle hook) = 0;
    // Unloads the library; a hook still installed is removed first.
    virtual void FreeLibrary() = 0;
    // The hot key's name for people, e.g. "Ctrl+Alt+H"; empty when no library is loaded.
    [[nodiscard]] virtual std::string HotKeyName() const = 0;
};

}  // namespace orvelle::popup
