#pragma once

// Recording fakes of the platform interfaces, for unit tests: each remembers what
// it was asked and serves answers the test sets.

#include "platform/Clock.h"
#include "platform/EventPump.h"
#include "platform/FileSystem.h"
#include "platform/InstanceLock.h"
#include "platform/MessageBox.h"
#include "platform/ProcessInfo.h"
#include "platform/ProfileFile.h"
#include "platform/Registry.h"
#include "platform/StartupList.h"
#include "platform/TempPath.h"
#include "platform/TrayIcon.h"

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace orvelle::platform::fake {

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

class FakeStartupList final : public IStartupList {
public:
    bool AddEntry(const std::string& name, const std::string& programPath) override {
        entries[name] = programPath;
        ++calls;
        return true;
    }
    bool RemoveEntry(const std::string& name) override {
        entries.erase(name);
        ++calls;
        return true;
    }
    std::map<std::string, std::string> entries;
    int calls = 0;
};

class FakeInstanceLock final : public IInstanceLock {
public:
    explicit FakeInstanceLock(bool runningAlready = false) : previous(runningAlready) {}
    [[nodiscard]] bool PreviousInstance() override { return previous; }
    bool previous;
};

class FakeTempPath final : public ITempPath {
public:
    explicit FakeTempPath(std::string folder = "/tmp/") : path(std::move(folder)) {}
    [[nodiscard]] std::string GetTempPathA() override { return path; }
    std::string path;
};

class FakeProcessInfo final : public IProcessInfo {
public:
    explicit FakeProcessInfo(std::string programFolder = "/opt/orvelle",
                             std::string executableName = "orvelle")
        : folder(std::move(programFolder)), name(std::move(executableName)) {}
    [[nodiscard]] std::string ProgramFolder() const override { return folder; }
    [[nodiscard]] std::string ExecutableName() const override { return name; }
    [[nodiscard]] char PathSeparator() const override { return '/'; }
    [[nodiscard]] std::string DataFolder() const override {
        return dataFolder.empty() ? folder : dataFolder;
    }
    [[nodiscard]] bool ProgramFolderKeepsUserFiles() const override { return keepsUserFiles; }
    [[nodiscard]] std::string UserFilesFolder() const override { return userFilesFolder; }
    std::string folder;
    std::string name;
    std::string dataFolder;  // empty: the program folder
    bool keepsUserFiles = true;
    std::string userFilesFolder = "/home/u/.config/orvelle";
};

class FakeClock final : public IClock {
public:
    [[nodiscard]] LocalDateTime Now() const override { return now; }
    LocalDateTime now{2026, 12, 8, 10, 0, 0, 2, 0};
};

class FakeEventPump final : public IEventPump {
public:
    void DoEvents() override {
        ++calls;
        if (onDoEvents) {
            onDoEvents();
        }
    }
    int calls = 0;
    std::function<void()> onDoEvents;
};

// Profile file held in memory, with the profile API's case rules.
class FakeProfileFile final : public IProfileFile {
public:
    std::uint32_t GetPrivateProfileStringA(const std::string& section, const std::string& key,
                                           const std::string& defaultValue, std::string& text,
                                           std::uint32_t bufferSize) override;
    bool WritePrivateProfileStringA(const std::string& section, const std::string& key,
                                    const std::optional<std::string>& value) override;

    std::map<std::pair<std::string, std::string>, std::string> entries;  // lower-case names
    int writes = 0;
    bool failWrites = false;
};

// Files held in memory; `failWrites` makes every write throw, `failReads` every read.
class FakeFileSystem final : public IFileSystem {
public:
    [[nodiscard]] bool FileExists(const std::string& path) override {
        return files.count(path) != 0;
    }
    bool DeleteFile(const std::string& path) override {
        deleted.push_back(path);
        return files.erase(path) == 1;
    }
    [[nodiscard]] std::vector<std::string> ReadLines(const std::string& path) override;
    void WriteFileAtomic(const std::string& path, const std::string& content) override;

    std::map<std::string, std::string> files;
    std::vector<std::string> deleted;
    bool failWrites = false;
    // Makes reading an existing file fail as a device error would.
    bool failReads = false;
};

// Wraps a registry and fails the chosen calls, to test what callers do then.
class FailingRegistry final : public IRegistry {
public:
    explicit FailingRegistry(IRegistry& inner) : inner_(inner) {}

    // Calls numbered from 1; a call whose number is listed fails with `status`.
    std::vector<int> failingCalls;
    bool failAllWrites = false;
    LSTATUS status = ERROR_ACCESS_DENIED;
    int calls = 0;

    LSTATUS RegOpenKeyExA(HKEY key, const std::string& subKey, std::uint32_t sam,
                          HKEY& result) override;
    LSTATUS RegCreateKeyExA(HKEY key, const std::string& subKey, std::uint32_t sam,
                            HKEY& result) override;
    LSTATUS RegQueryValueExA(HKEY key, const std::string& name, std::uint32_t* type,
                             unsigned char* data, std::uint32_t* cbData) override;
    LSTATUS RegSetValueExA(HKEY key, const std::string& name, std::uint32_t type,
                           const unsigned char* data, std::uint32_t cbData) override;
    LSTATUS RegDeleteValueA(HKEY key, const std::string& name) override;
    LSTATUS RegDeleteKeyA(HKEY key, const std::string& subKey) override;
    LSTATUS RegDeleteTreeA(HKEY key, const std::string& subKey) override;
    LSTATUS RegEnumKeyExA(HKEY key, std::uint32_t index, std::string& name) override;
    LSTATUS RegEnumValueA(HKEY key, std::uint32_t index, std::string& name, std::uint32_t& type,
                          std::vector<unsigned char>& data) override;
    LSTATUS RegCloseKey(HKEY key) override;

private:
    bool Fails(bool write);
    IRegistry& inner_;
};

}  // namespace orvelle::platform::fake
