// Feeds an arbitrary MIME database and application associations to the reader
// that picks the program opening a file: globs, mimeapps.list, mimeinfo.cache and
// desktop files are written by packages, desktops and other programs. The input is
// cut at NUL bytes into globs2, globs, mimeapps.list, mimeinfo.cache, two desktop
// files ("a.desktop" and "kde/b.desktop", found as "kde-b.desktop") and a file name.
//
// Besides the sanitizers it checks what must hold for any input: a file's type is one
// the database names (or a web page's, known without one), and the application
// chosen for it is a regular file inside an applications folder that can be started.

#include "FuzzRequire.h"
#include "XdgMime.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using orvelle::fuzz::Require;
using namespace orvelle::desktop::xdg;

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

std::string RealPath(const std::string& path) {
    char* resolved = ::realpath(path.c_str(), nullptr);
    Require(resolved != nullptr);
    std::string real = resolved;
    std::free(resolved);
    return real;
}

// One configuration folder and one data folder, in a private temporary folder.
struct Desktop {
    std::string root;
    std::string mime;
    std::string applications;
    XdgSearchPaths paths;

    Desktop() {
        char pattern[] = "/tmp/xdg-mime-fuzz-XXXXXX";
        Require(::mkdtemp(pattern) != nullptr);
        root = pattern;
        mime = root + "/data/mime";
        applications = root + "/data/applications";
        for (const std::string& folder :
             {root + "/config", root + "/data", mime, applications, applications + "/kde"}) {
            Require(::mkdir(folder.c_str(), 0700) == 0);
        }
        paths.configDirs = {root + "/config"};
        paths.dataDirs = {root + "/data"};
        paths.desktops = {"kde"};
    }
    Desktop(const Desktop&) = delete;
    Desktop& operator=(const Desktop&) = delete;
    ~Desktop() { std::filesystem::remove_all(root); }
};

bool Contains(const std::vector<std::string>& parts, std::size_t count, const std::string& text) {
    for (std::size_t i = 0; i < count; ++i) {
        if (parts[i].find(text) != std::string::npos) {
            return true;
        }
    }
    return false;
}

void CheckApplication(const Desktop& desktop, const std::string& mimeType) {
    const auto application = DefaultApplicationFor(desktop.paths, mimeType);
    if (!application) {
        return;
    }
    Require(application->entry.IsStartableApplication());
    struct stat info {};
    Require(::stat(application->path.c_str(), &info) == 0 && S_ISREG(info.st_mode));
    const std::string inside = RealPath(desktop.applications) + "/";
    Require(RealPath(application->path).compare(0, inside.size(), inside) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const Desktop desktop;
    std::vector<std::string> parts(7);
    std::size_t part = 0;
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0 && part + 1 < parts.size()) {
            ++part;
        } else {
            parts[part] += static_cast<char>(data[i]);
        }
    }
    // An empty part stands for a missing file, so that globs is read when globs2 is not.
    const auto place = [](const std::string& path, const std::string& text) {
        if (text.empty()) {
            ::unlink(path.c_str());
        } else {
            WriteText(path, text);
        }
    };
    place(desktop.mime + "/globs2", parts[0]);
    place(desktop.mime + "/globs", parts[1]);
    place(desktop.root + "/config/kde-mimeapps.list", parts[2]);
    place(desktop.applications + "/mimeinfo.cache", parts[3]);
    place(desktop.applications + "/a.desktop", parts[4]);
    place(desktop.applications + "/kde/b.desktop", parts[5]);

    const std::string type = MimeTypeForFileName(desktop.paths, parts[6]);
    Require(type.empty() || type == "text/html" || Contains(parts, 2, type));
    CheckApplication(desktop, type.empty() ? "text/html" : type);
    return 0;
}
