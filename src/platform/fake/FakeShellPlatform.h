#pragma once

// Recording fakes of the computer facts, the file associations and the temporary files.

#include "platform/RuntimeError.h"
#include "platform/ShellExecute.h"
#include "platform/SystemInfo.h"
#include "platform/TempFile.h"

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace orvelle::platform::fake {

class FakeSystemInfo final : public ISystemInfo {
public:
    [[nodiscard]] std::string GetComputerNameA() override { return computerName; }
    [[nodiscard]] std::string OsName() override { return osName; }
    [[nodiscard]] std::string LocalIp() override { return localIp; }

    std::string computerName = "DESKTOP-7";
    std::string osName = "Debian GNU/Linux 12 (bookworm)";
    std::string localIp = "192.168.1.20";
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

}  // namespace orvelle::platform::fake
