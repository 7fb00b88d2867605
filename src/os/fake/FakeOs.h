#pragma once

// Recording fakes of the OS interfaces, for unit tests: each remembers what it was
// asked and serves answers the test sets.

#include "os/Clock.h"
#include "os/EventPump.h"
#include "os/FileSystem.h"
#include "os/InstanceLock.h"
#include "os/ProcessInfo.h"
#include "os/RuntimeError.h"
#include "os/StartupList.h"
#include "os/SystemInfo.h"
#include "os/TempFile.h"
#include "os/TempPath.h"
#include "os/TemporaryFiles.h"

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace orvelle::os::fake {

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

class FakeSystemInfo final : public ISystemInfo {
public:
    [[nodiscard]] std::string GetComputerNameA() override { return computerName; }
    [[nodiscard]] std::string OsName() override { return osName; }
    [[nodiscard]] std::string LocalIp() override { return localIp; }

    std::string computerName = "DESKTOP-7";
    std::string osName = "Debian GNU/Linux 12 (bookworm)";
    std::string localIp = "192.168.1.20";
};

class FakeTempFile final : public ITempFile {
public:
    [[nodiscard]] std::string PrivateFolder() override { return privateFolder; }
    void Create(const std::string& path, const std::string& content) override {
        if (failCreate) {
            throw RuntimeError(errors::kPermissionDenied, "Permission denied");
        }
        files[path] = content;
        created.push_back(path);
    }
    void Remove(const std::string& path) override {
        files.erase(path);
        removed.push_back(path);
    }

    std::string privateFolder = "/run/user/1000/";
    bool failCreate = false;
    std::map<std::string, std::string> files;
    std::vector<std::string> created;
    std::vector<std::string> removed;
};

// Temporary files as a set of paths. A created file is "unnamed": its path is a
// /proc/self/fd path, alive (in `existing`) while its handle lives. `foreign`
// paths cannot be removed and block creation (another user's file in a shared folder).
class FakeTemporaryFiles final : public ITemporaryFiles {
public:
    [[nodiscard]] bool Remove(const std::string& path) override {
        removed.push_back(path);
        if (foreign.count(path) != 0) {
            return false;
        }
        existing.erase(path);
        return true;
    }
    [[nodiscard]] std::unique_ptr<ITemporaryFile> Create(const std::string& folder,
                                                         const std::string& name) override {
        if (foreign.count(folder + name) != 0) {
            throw RuntimeError(58, "File already exists: " + folder + name);
        }
        created.push_back(folder + name);
        const std::string path = "/proc/self/fd/" + std::to_string(100 + created.size());
        existing.insert(path);
        return std::make_unique<File>(*this, path);
    }
    void RemoveLeftovers() override { ++leftoverSweeps; }

    std::set<std::string> existing;
    std::set<std::string> foreign;
    std::vector<std::string> removed;
    std::vector<std::string> created;  // folder + name of each
    int leftoverSweeps = 0;

private:
    class File final : public ITemporaryFile {
    public:
        File(FakeTemporaryFiles& owner, std::string path) : owner_(owner), path_(std::move(path)) {}
        ~File() override { owner_.existing.erase(path_); }
        File(const File&) = delete;
        File& operator=(const File&) = delete;
        [[nodiscard]] std::string Path() const override { return path_; }

    private:
        FakeTemporaryFiles& owner_;
        std::string path_;
    };
};

}  // namespace orvelle::os::fake
