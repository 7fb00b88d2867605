#include "BrowserScript.h"

#include "TempEnvironment.h"

#include <sys/stat.h>

#include <chrono>
#include <fstream>
#include <thread>

namespace orvelle::test {

BrowserScript::BrowserScript(const std::string& folder)
    : script_(folder + "/fake-browser"), output_(folder + "/fake-browser.argv") {
    MakeDirs(folder);
    // Written to a side file and renamed, so a reader never sees half the arguments.
    WriteFile(script_,
              "#!/bin/sh\n"
              "out='" +
                  output_ +
                  "'\n"
                  ": > \"$out.part\"\n"
                  "for argument in \"$@\"; do printf '%s\\n' \"$argument\" >> \"$out.part\"; done\n"
                  "mv \"$out.part\" \"$out\"\n");
    ::chmod(script_.c_str(), 0755);
}

std::string BrowserScript::WriteDesktopFile(const std::string& applicationsFolder,
                                            const std::string& id,
                                            const std::string& execArguments) const {
    MakeDirs(applicationsFolder);
    const std::string path = applicationsFolder + "/" + id;
    WriteFile(path, "[Desktop Entry]\nType=Application\nName=Fake Browser\nExec=" + script_ + " " +
                        execArguments + "\nMimeType=text/html;x-scheme-handler/https;\n");
    return path;
}

std::vector<std::string> BrowserScript::WaitForArguments(bool& started) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!Exists(output_) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    started = Exists(output_);
    std::vector<std::string> arguments;
    std::ifstream file(output_);
    std::string line;
    while (std::getline(file, line)) {
        arguments.push_back(line);
    }
    return arguments;
}

}  // namespace orvelle::test
