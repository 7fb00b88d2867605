#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace orvelle::platform {

// The marker the hook library delivers to the main window on each hot-key press.
inline constexpr std::uint32_t WM_KEYDOWN = 256;
inline constexpr std::uintptr_t kHotKeyMarker = 99999;

// The outside hook library that turns the global hot key into the marker message.
class IHookLibrary {
public:
    using MarkerSink = std::function<void(std::uint32_t message, std::uintptr_t wParam)>;

    virtual ~IHookLibrary() = default;

    // Loads the library from `path`; false when it is missing or lacks an export.
    virtual bool Load(const std::string& path) = 0;
    // Installs the keyboard hook; returns the hook handle (0 on failure).
    virtual std::uintptr_t SetWindowsHook(MarkerSink sink) = 0;
    // Hands the hook handle to the library (its export LibHook).
    virtual void LibHook(std::uintptr_t hookHandle) = 0;
    // Asks the library to remove the hook (its export LibUnHook).
    virtual void LibUnHook(std::uintptr_t hookHandle) = 0;
    // Unloads the library.
    virtual void FreeLibrary() = 0;
};

}  // namespace orvelle::platform
