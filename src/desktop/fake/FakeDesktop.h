#pragma once

// Recording fakes of the desktop interfaces, for unit tests.

#include "desktop/FileTypeAssociation.h"
#include "desktop/KeyState.h"
#include "desktop/MessageBox.h"
#include "desktop/ShellExecute.h"
#include "desktop/Sound.h"
#include "desktop/TrayIcon.h"
#include "os/RuntimeError.h"

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace orvelle::desktop::fake {

struct ShownMessage {
    std::string text;
    std::string title;
    MessageIcon icon;
};

class FakeMessageBox final : public IMessageBox {
public:
    void Show(const std::string& text, const std::string& title, MessageIcon icon) override {
        shown.push_back({text, title, icon});
        if (onShow) {
            onShow(shown.back());
        }
    }
    [[nodiscard]] bool Ask(const std::string& text, const std::string& title,
                           const std::string& yes, const std::string& no) override {
        asked.push_back({text, title, yes, no});
        return answer;
    }
    struct Question {
        std::string text;
        std::string title;
        std::string yes;
        std::string no;
    };
    std::vector<ShownMessage> shown;
    std::vector<Question> asked;
    // What the user answers every question.
    bool answer = false;
    // Runs while the "modal" box is up, as a user's action would.
    std::function<void(const ShownMessage&)> onShow;
};

class FakeTrayIcon final : public ITrayIcon {
public:
    void Add(const std::string& text) override {
        ++addCalls;
        if (!added) {
            added = true;
            tip = text.substr(0, 63);
        }
    }
    void Remove() override {
        ++removeCalls;
        added = false;
    }
    [[nodiscard]] bool IsAdded() const override { return added; }
    [[nodiscard]] bool IsAvailable() const override { return available; }
    void SetCallback(Callback receiver) override { callback = std::move(receiver); }
    // Delivers a mouse message as the desktop would.
    void Fire(int mouseMessage) const {
        if (callback) {
            callback(mouseMessage);
        }
    }

    bool added = false;
    bool available = true;
    int addCalls = 0;
    int removeCalls = 0;
    std::string tip;
    Callback callback;
};

class FakeShellExecute final : public IShellExecute {
public:
    struct Started {
        WindowHandle parent;
        std::string operation;
        std::string file;
        std::string parameters;
        int showCommand;
    };

    int FindExecutableA(const std::string& file, std::string& executable) override {
        looked.push_back(file);
        executable = associated;
        return findResult;
    }
    int ShellExecuteA(WindowHandle parent, const std::string& operation, const std::string& file,
                      const std::string& parameters, int showCommand) override {
        started.push_back({parent, operation, file, parameters, showCommand});
        return executeResult;
    }

    std::string associated = "/usr/share/applications/browser.desktop";
    int findResult = kShellSuccess;
    int executeResult = kShellSuccess;
    std::vector<std::string> looked;
    std::vector<Started> started;
};

class FakeKeyState final : public IKeyState {
public:
    [[nodiscard]] std::uint16_t GetAsyncKeyState(int virtualKey) override {
        ++queries;
        const auto found = keys.find(virtualKey);
        return found == keys.end() ? 0 : found->second;
    }
    [[nodiscard]] ScreenPoint GetCursorPos() override { return cursor; }

    // Key state words by virtual key; missing keys are up.
    std::map<int, std::uint16_t> keys;
    ScreenPoint cursor;
    int queries = 0;
};

class FakeSound final : public ISound {
public:
    void PlaySoundAsync(const std::string& path) override { played.push_back(path); }
    std::vector<std::string> played;
};

class FakeFileTypeAssociation final : public IFileTypeAssociation {
public:
    [[nodiscard]] AssociationStatus Register(const FileTypeAssociation& association) override {
        requests.push_back(association);
        return status;
    }
    std::vector<FileTypeAssociation> requests;
    AssociationStatus status = AssociationStatus::Unchanged;
};

}  // namespace orvelle::desktop::fake
