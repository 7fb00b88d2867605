#pragma once

#include "popup/HookLibrary.h"

#include <memory>
#include <string>

namespace orvelle::popup::qt {

// libMSHook.so loaded with dlopen. The hook is a native event filter on the program's X
// connection that runs every key event through the library's SSKeyBoardHook; the marker
// comes back as a message posted to the target widget. Without an X11 connection (offscreen,
// Wayland) no hook can be installed.
class QtHookLibrary final : public IHookLibrary {
public:
    QtHookLibrary();
    ~QtHookLibrary() override;
    QtHookLibrary(const QtHookLibrary&) = delete;
    QtHookLibrary& operator=(const QtHookLibrary&) = delete;

    [[nodiscard]] std::string LibraryFileName() const override;
    bool LoadLibraryA(const std::string& path) override;
    HookHandle SetWindowsHookExA(desktop::WindowHandle target) override;
    [[nodiscard]] HotKeyStatus LibHook(HookHandle hook) override;
    void LibUnHook(HookHandle hook) override;
    void FreeLibrary() override;
    [[nodiscard]] std::string HotKeyName() const override;

private:
    struct Library;
    struct InstalledHook;

    std::unique_ptr<Library> library_;
    std::unique_ptr<InstalledHook> hook_;
};

}  // namespace orvelle::popup::qt
