#pragma once

// Recording fakes of the hot-key concerns: the hook library, the desktop's windows and the
// message procedures of the program's windows.

#include "popup/HiddenWindowsFile.h"
#include "popup/HookLibrary.h"
#include "popup/WindowList.h"
#include "popup/WindowProcedure.h"

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace orvelle::popup::fake {

class FakeHookLibrary final : public IHookLibrary {
public:
    [[nodiscard]] std::string LibraryFileName() const override { return "libMSHook.so"; }
    bool LoadLibraryA(const std::string& path) override {
        calls.push_back("LoadLibraryA " + path);
        loaded = libraryPresent;
        return loaded;
    }
    HookHandle SetWindowsHookExA(desktop::WindowHandle target) override {
        calls.push_back("SetWindowsHookExA " + std::to_string(target));
        return loaded && displayPresent ? handle : 0;
    }
    [[nodiscard]] HotKeyStatus LibHook(HookHandle hook) override {
        calls.push_back("LibHook " + std::to_string(hook));
        return hook == 0 ? HotKeyStatus::Unavailable : status;
    }
    void LibUnHook(HookHandle hook) override {
        calls.push_back("LibUnHook " + std::to_string(hook));
    }
    void FreeLibrary() override {
        calls.push_back("FreeLibrary");
        loaded = false;
    }
    [[nodiscard]] std::string HotKeyName() const override { return loaded ? "Ctrl+Alt+H" : ""; }

    bool libraryPresent = true;
    bool displayPresent = true;
    HookHandle handle = 4242;
    HotKeyStatus status = HotKeyStatus::Active;
    bool loaded = false;
    std::vector<std::string> calls;
};

// A desktop of windows the test lays out; hiding and showing change their visibility.
class FakeWindowList final : public IWindowList {
public:
    struct Window {
        std::string title;
        bool visible = true;
        bool desktop = false;
        // Where it is; hiding makes the desktop forget it, as a window manager does.
        WindowPlacement placement;
    };

    void Add(desktop::WindowHandle handle, std::string title, bool visible = true,
             bool desktop = false) {
        order.push_back(handle);
        windows[handle] = {std::move(title), visible, desktop, WindowPlacement{}};
    }

    [[nodiscard]] std::vector<desktop::WindowHandle> EnumWindows() override { return order; }
    [[nodiscard]] std::string GetWindowTextA(desktop::WindowHandle window,
                                             std::size_t maxLength) override {
        const auto found = windows.find(window);
        return found == windows.end() ? std::string() : found->second.title.substr(0, maxLength);
    }
    [[nodiscard]] bool IsWindowVisible(desktop::WindowHandle window) override {
        const auto found = windows.find(window);
        return found != windows.end() && found->second.visible;
    }
    [[nodiscard]] bool IsDesktopWindow(desktop::WindowHandle window) override {
        const auto found = windows.find(window);
        return found != windows.end() && found->second.desktop;
    }
    bool ShowWindow(desktop::WindowHandle window, int command) override {
        commands.emplace_back(window, command);
        const auto found = windows.find(window);
        if (found == windows.end()) {
            return false;
        }
        found->second.visible = command != SW_HIDE;
        if (command == SW_HIDE) {
            found->second.placement = WindowPlacement{};
        }
        return true;
    }
    [[nodiscard]] std::optional<WindowPlacement> GetWindowPlacement(
        desktop::WindowHandle window) override {
        const auto found = windows.find(window);
        return found == windows.end() ? std::nullopt
                                      : std::optional<WindowPlacement>(found->second.placement);
    }
    bool SetWindowPlacement(desktop::WindowHandle window,
                            const WindowPlacement& placement) override {
        placed.emplace_back(window, placement);
        const auto found = windows.find(window);
        if (found == windows.end()) {
            return false;
        }
        found->second.placement = placement;
        return true;
    }

    std::vector<desktop::WindowHandle> order;
    std::map<desktop::WindowHandle, Window> windows;
    std::vector<std::pair<desktop::WindowHandle, int>> commands;
    std::vector<std::pair<desktop::WindowHandle, WindowPlacement>> placed;
};

// The hidden-window list in memory; `writes` counts every replacement.
class FakeHiddenWindowsFile final : public IHiddenWindowsFile {
public:
    void Write(const std::string& text) override {
        ++writes;
        content = text;
    }
    [[nodiscard]] std::optional<std::string> Read() override { return content; }
    void Remove() override { content.reset(); }

    std::optional<std::string> content;
    int writes = 0;
};

// Windows with message procedures; a window's own handling records what reaches it.
class FakeWindowProcedure final : public IWindowProcedure {
public:
    struct Delivered {
        desktop::WindowHandle window;
        std::uint32_t message;
        std::uintptr_t wParam;
        std::intptr_t lParam;
        bool operator==(const Delivered&) const = default;
    };

    // Makes `window` known, with its own handling as its procedure.
    void AddWindow(desktop::WindowHandle window) {
        procedures[window] = [this](desktop::WindowHandle target, std::uint32_t message,
                                    std::uintptr_t wParam, std::intptr_t lParam) {
            delivered.push_back({target, message, wParam, lParam});
            return ownResult;
        };
    }

    WindowProc SetWindowLongA(desktop::WindowHandle window, WindowProc procedure) override {
        ++replacements;
        const auto found = procedures.find(window);
        if (found == procedures.end()) {
            return {};
        }
        return std::exchange(found->second, std::move(procedure));
    }

    // Dispatches a message to the window's current procedure, as the system does.
    std::intptr_t Send(desktop::WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                       std::intptr_t lParam) {
        return CallWindowProcA(procedures.at(window), window, message, wParam, lParam);
    }

    std::map<desktop::WindowHandle, WindowProc> procedures;
    std::vector<Delivered> delivered;
    std::intptr_t ownResult = 7;
    int replacements = 0;
};

}  // namespace orvelle::popup::fake
