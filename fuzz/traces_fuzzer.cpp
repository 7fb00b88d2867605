// Feeds arbitrary browser indexes and settings files to the trace catalog's
// readers and writers: whoever can write in the home folder (a sync tool, a
// downloaded profile, another program) chooses these bytes. The input is cut at
// NUL bytes into profiles.ini, installs.ini, Chromium's "Local State", a settings
// file's text and an address.
//
// Besides the sanitizers it checks what must hold for any input: every profile
// found is a real folder, never a symbolic link, never "/" or the home folder or
// above it (Firefox's absolute profile paths may lie anywhere else); each settings
// writer either reports why it did not write or leaves the file saying what it
// was asked to.

#include "BrowserProfiles.h"
#include "FuzzRequire.h"
#include "IniText.h"
#include "SettingFiles.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

namespace {

using orvelle::fuzz::Require;

using namespace orvelle::traces;

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

std::string ReadText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// A private home with two Firefox and two Chromium profiles, and links an index
// may name: to the home folder, to "/", and a profile reached twice.
struct Home {
    std::string home;
    std::string firefox;
    std::string chromium;
    HomeFolders folders;

    Home() {
        char pattern[] = "/tmp/traces-fuzz-XXXXXX";
        Require(::mkdtemp(pattern) != nullptr);
        home = pattern;
        firefox = home + "/.mozilla/firefox";
        chromium = home + "/.config/chromium";
        for (const std::string& folder :
             {home + "/.mozilla", firefox, firefox + "/a.default", firefox + "/b", firefox + "/b/c",
              home + "/.config", chromium, chromium + "/Default", chromium + "/Profile 1",
              home + "/.cache", home + "/.local", home + "/.local/share", home + "/.local/state"}) {
            Require(::mkdir(folder.c_str(), 0700) == 0);
        }
        Require(::symlink(home.c_str(), (firefox + "/home").c_str()) == 0);
        Require(::symlink("/", (chromium + "/root").c_str()) == 0);
        Require(::symlink("a.default", (firefox + "/again").c_str()) == 0);
        folders = {home, home + "/.config", home + "/.local/share", home + "/.cache",
                   home + "/.local/state"};
    }
    Home(const Home&) = delete;
    Home& operator=(const Home&) = delete;
    // remove_all takes the links themselves, never what they lead to.
    ~Home() { std::filesystem::remove_all(home); }
};

bool Inside(const std::string& path, const std::string& folder) {
    return path.size() > folder.size() + 1 && path.compare(0, folder.size() + 1, folder + "/") == 0;
}

void CheckProfiles(const Home& home) {
    const ProfileList list = FindBrowserProfiles(home.folders);
    char* homeReal = ::realpath(home.home.c_str(), nullptr);
    Require(homeReal != nullptr);
    const std::string realHome = homeReal;
    std::free(homeReal);
    for (const BrowserProfile& profile : list.profiles) {
        struct stat info {};
        Require(::lstat(profile.folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode));
        char* resolved = ::realpath(profile.folder.c_str(), nullptr);
        Require(resolved != nullptr);
        const std::string real = resolved;
        std::free(resolved);
        // Not "/", not the home folder, not a folder that holds it.
        Require(real != "/" && real != realHome && !Inside(realHome, real));
    }
}

void CheckSettingFiles(const Home& home, const std::string& text, const std::string& address) {
    const std::string file = home.home + "/settings";

    WriteText(file, text);
    const std::vector<std::pair<std::string, std::string>> prefs{
        {"browser.startup.homepage", JsString(address)}, {"browser.urlbar.autoFill", "false"}};
    if (SetUserPrefs(file, prefs).empty()) {
        const std::string written = ReadText(file);
        const std::string last = "user_pref(\"browser.urlbar.autoFill\", false);\n";
        Require(written.size() >= last.size() &&
                written.compare(written.size() - last.size(), last.size(), last) == 0);
    }

    WriteText(file, text);
    if (SetChromiumStartPage(file, address).empty()) {
        const auto json = nlohmann::json::parse(ReadText(file), nullptr, false);
        Require(json.is_object() && json["homepage"] == address);
    }

    WriteText(file, text);
    if (RemoveKRunnerHistory(file).empty()) {
        const IniText after(ReadText(file));
        Require(after.Value("PlasmaRunnerManager", "history").empty() &&
                after.Value("General", "history").empty());
    }
    ::unlink(file.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const Home home;
    std::vector<std::string> parts(5);
    std::size_t part = 0;
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0 && part + 1 < parts.size()) {
            ++part;
        } else {
            parts[part] += static_cast<char>(data[i]);
        }
    }
    WriteText(home.firefox + "/profiles.ini", parts[0]);
    WriteText(home.firefox + "/installs.ini", parts[1]);
    WriteText(home.chromium + "/Local State", parts[2]);
    CheckProfiles(home);
    CheckSettingFiles(home, parts[3], parts[4]);
    return 0;
}
