#include "OS.h"

#include "os/RuntimeError.h"

#include <algorithm>
#include <cctype>
#include <exception>

namespace orvelle::shell {
namespace {

std::string TrimSpaces(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

void ShowOpenWithError(desktop::IMessageBox& messageBox, const os::RuntimeError& error) {
    messageBox.Show(std::to_string(error.Number()) + ": " + error.Description(), "OpenWith",
                    desktop::MessageIcon::Information);
}

}  // namespace

std::string GetOsName(os::ISystemInfo& systemInfo) {
    return systemInfo.OsName();
}

std::string CutAfterExe(const std::string& executable) {
    std::string upper = executable;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    const auto exe = upper.find(".EXE");
    if (exe == std::string::npos) {
        return TrimSpaces(executable);
    }
    return TrimSpaces(executable.substr(0, exe + 4));
}

void OpenWebPage(const WebPageServices& services, desktop::WindowHandle form,
                 const std::string& address, const std::string& extension) {
    try {
        const std::string folder = services.tempFile.PrivateFolder();
        if (folder.empty()) {
            services.messageBox.Show("Can not create file.", "OpenWith",
                                     desktop::MessageIcon::Information);
            return;
        }
        const std::string tempFile = folder + "temphtm." + extension;
        // Only the name's extension matters to the association, not the content.
        services.tempFile.Create(tempFile, "\"\"\n");
        std::string executable;
        const int found = services.shell.FindExecutableA(tempFile, executable);
        executable = TrimSpaces(executable);
        if (found <= 32) {
            services.messageBox.Show("Could not find associated application", "Browser Not Found",
                                     desktop::MessageIcon::Exclamation);
        } else {
            executable = CutAfterExe(executable);
            // The quotes keep an address with spaces one argument.
            const int started = services.shell.ShellExecuteA(
                form, "open", executable, "\"" + address + "\"", desktop::SW_SHOWNOACTIVATE);
            if (started <= 32) {
                services.messageBox.Show("Page not Opened", "URL Failed",
                                         desktop::MessageIcon::Exclamation);
            }
        }
        services.tempFile.Remove(tempFile);
    } catch (const os::RuntimeError& error) {
        ShowOpenWithError(services.messageBox, error);
    } catch (const std::exception& error) {
        ShowOpenWithError(services.messageBox,
                          os::RuntimeError(os::errors::kInvalidProcedureCall, error.what()));
    }
}

}  // namespace orvelle::shell
