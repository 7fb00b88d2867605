#include "XdgMime.h"

#include "os/TextLines.h"

#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>

namespace orvelle::desktop::xdg {
namespace {

std::vector<std::string> SplitOn(const std::string& text, char separator) {
    std::vector<std::string> items;
    std::string item;
    std::istringstream stream(text);
    while (std::getline(stream, item, separator)) {
        if (!item.empty()) {
            items.push_back(item);
        }
    }
    return items;
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// System files of the desktop: links are followed, as every desktop does.
std::optional<std::string> ReadTextFile(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return std::nullopt;
    }
    std::ifstream file(path);
    if (!file) {
        return std::nullopt;
    }
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

std::vector<std::string> Lines(const std::string& content) {
    std::vector<std::string> lines;
    std::istringstream stream(content);
    std::string line;
    while (std::getline(stream, line)) {
        lines.push_back(os::Trim(line));
    }
    return lines;
}

std::string EnvOr(const char* name, const std::string& fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0' ? value : fallback;
}

std::string HomeDefault(const char* name, const char* relative) {
    const char* value = std::getenv(name);
    if (value != nullptr && value[0] == '/') {
        return value;
    }
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr ? home : "") + relative;
}

void AppendAbsolute(std::vector<std::string>& dirs, const std::string& list) {
    for (const auto& dir : SplitOn(list, ':')) {
        if (dir[0] == '/') {
            dirs.push_back(dir);
        }
    }
}

// Whether a program named by TryExec (a path, or a name on $PATH) can be run.
bool Executable(const std::string& program) {
    if (program.find('/') != std::string::npos) {
        return ::access(program.c_str(), X_OK) == 0;
    }
    for (const auto& dir : SplitOn(EnvOr("PATH", "/usr/local/bin:/usr/bin:/bin"), ':')) {
        if (::access((dir + '/' + program).c_str(), X_OK) == 0) {
            return true;
        }
    }
    return false;
}

// The groups of one mimeapps.list, for one MIME type.
struct MimeAppsList {
    std::vector<std::string> defaults;
    std::vector<std::string> added;
    std::vector<std::string> removed;
};

MimeAppsList ReadMimeAppsList(const std::string& content, const std::string& mimeType) {
    MimeAppsList list;
    std::string group;
    for (const auto& line : Lines(content)) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        if (line[0] == '[') {
            group = line;
            continue;
        }
        const auto equals = line.find('=');
        if (equals == std::string::npos || os::Trim(line.substr(0, equals)) != mimeType) {
            continue;
        }
        const auto ids = SplitOn(os::Trim(line.substr(equals + 1)), ';');
        std::vector<std::string>* target = nullptr;
        if (group == "[Default Applications]" || group == "[MIME Cache]") {
            target = &list.defaults;
        } else if (group == "[Added Associations]") {
            target = &list.added;
        } else if (group == "[Removed Associations]") {
            target = &list.removed;
        }
        if (target != nullptr) {
            target->insert(target->end(), ids.begin(), ids.end());
        }
    }
    return list;
}

struct DirCloser {
    void operator()(DIR* dir) const noexcept { ::closedir(dir); }
};

// The desktop-file ids directly inside an applications folder, sorted.
std::vector<std::string> DesktopIdsIn(const std::string& folder) {
    std::vector<std::string> ids;
    const std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.c_str()));
    if (!dir) {
        return ids;
    }
    while (const dirent* item = ::readdir(dir.get())) {
        const std::string id = item->d_name;
        if (id.size() > 8 && id.compare(id.size() - 8, 8, ".desktop") == 0) {
            ids.push_back(id);
        }
    }
    std::sort(ids.begin(), ids.end());
    return ids;
}

std::vector<std::string> MimeAppsListFiles(const XdgSearchPaths& paths) {
    std::vector<std::string> files;
    const auto addDir = [&](const std::string& dir) {
        for (const auto& desktop : paths.desktops) {
            files.push_back(dir + '/' + desktop + "-mimeapps.list");
        }
        files.push_back(dir + "/mimeapps.list");
    };
    for (const auto& dir : paths.configDirs) {
        addDir(dir);
    }
    for (const auto& dir : paths.dataDirs) {
        addDir(dir + "/applications");
    }
    return files;
}

}  // namespace

XdgSearchPaths XdgSearchPaths::FromEnvironment() {
    XdgSearchPaths paths;
    paths.configDirs.push_back(HomeDefault("XDG_CONFIG_HOME", "/.config"));
    AppendAbsolute(paths.configDirs, EnvOr("XDG_CONFIG_DIRS", "/etc/xdg"));
    paths.dataDirs.push_back(HomeDefault("XDG_DATA_HOME", "/.local/share"));
    AppendAbsolute(paths.dataDirs, EnvOr("XDG_DATA_DIRS", "/usr/local/share:/usr/share"));
    for (const auto& desktop : SplitOn(EnvOr("XDG_CURRENT_DESKTOP", ""), ':')) {
        paths.desktops.push_back(Lower(desktop));
    }
    return paths;
}

std::string MimeTypeForFileName(const XdgSearchPaths& paths, const std::string& fileName) {
    const auto slash = fileName.rfind('/');
    const std::string name = slash == std::string::npos ? fileName : fileName.substr(slash + 1);
    std::string best;
    int bestWeight = -1;
    std::size_t bestLength = 0;
    const auto consider = [&](int weight, const std::string& type, const std::string& glob,
                              bool caseSensitive) {
        if (type.empty() || glob.empty() ||
            ::fnmatch(glob.c_str(), name.c_str(), caseSensitive ? 0 : FNM_CASEFOLD) != 0) {
            return;
        }
        if (weight > bestWeight || (weight == bestWeight && glob.size() > bestLength)) {
            best = type;
            bestWeight = weight;
            bestLength = glob.size();
        }
    };
    for (const auto& dir : paths.dataDirs) {
        if (const auto globs2 = ReadTextFile(dir + "/mime/globs2")) {
            for (const auto& line : Lines(*globs2)) {
                const auto fields = SplitOn(line, ':');
                if (line.empty() || line[0] == '#' || fields.size() < 3) {
                    continue;
                }
                const bool caseSensitive =
                    fields.size() > 3 && fields[3].find("cs") != std::string::npos;
                consider(std::atoi(fields[0].c_str()), fields[1], fields[2], caseSensitive);
            }
        } else if (const auto globs = ReadTextFile(dir + "/mime/globs")) {
            for (const auto& line : Lines(*globs)) {
                const auto colon = line.find(':');
                if (line.empty() || line[0] == '#' || colon == std::string::npos) {
                    continue;
                }
                consider(50, line.substr(0, colon), line.substr(colon + 1), false);
            }
        }
    }
    if (best.empty()) {
        // Web pages are what the program opens; it knows them without a MIME database.
        for (const char* glob : {"*.htm", "*.html"}) {
            consider(0, "text/html", glob, false);
        }
    }
    return best;
}

std::optional<DesktopApplication> FindDesktopApplication(const XdgSearchPaths& paths,
                                                         const std::string& id) {
    if (id.empty() || id.find('/') != std::string::npos || id[0] == '.') {
        return std::nullopt;
    }
    std::vector<std::string> relatives = {id};
    // An id with dashes may name a file in a subfolder: "kde-foo.desktop" → "kde/foo.desktop".
    for (auto dash = id.find('-'); dash != std::string::npos; dash = id.find('-', dash + 1)) {
        std::string relative = id;
        relative[dash] = '/';
        relatives.push_back(relative);
    }
    for (const auto& dir : paths.dataDirs) {
        for (const auto& relative : relatives) {
            const std::string path = dir + "/applications/" + relative;
            const auto content = ReadTextFile(path);
            if (!content) {
                continue;
            }
            DesktopApplication application{path, DesktopEntry::Parse(*content)};
            // The first file with the id decides, even when it hides the application.
            if (!application.entry.IsStartableApplication() ||
                (!application.entry.tryExec.empty() && !Executable(application.entry.tryExec))) {
                return std::nullopt;
            }
            return application;
        }
    }
    return std::nullopt;
}

std::optional<DesktopApplication> DefaultApplicationFor(const XdgSearchPaths& paths,
                                                        const std::string& mimeType) {
    if (mimeType.empty()) {
        return std::nullopt;
    }
    std::set<std::string> removed;
    std::vector<std::string> added;
    for (const auto& file : MimeAppsListFiles(paths)) {
        const auto content = ReadTextFile(file);
        if (!content) {
            continue;
        }
        const MimeAppsList list = ReadMimeAppsList(*content, mimeType);
        removed.insert(list.removed.begin(), list.removed.end());
        for (const auto& id : list.defaults) {
            if (removed.count(id) == 0) {
                if (auto application = FindDesktopApplication(paths, id)) {
                    return application;
                }
            }
        }
        for (const auto& id : list.added) {
            if (removed.count(id) == 0) {
                added.push_back(id);
            }
        }
    }
    for (const auto& id : added) {
        if (auto application = FindDesktopApplication(paths, id)) {
            return application;
        }
    }
    // Any installed application that declares the type; the cache lists them when the
    // desktop keeps one, the folders themselves otherwise.
    for (const auto& dir : paths.dataDirs) {
        if (const auto cache = ReadTextFile(dir + "/applications/mimeinfo.cache")) {
            for (const auto& id : ReadMimeAppsList(*cache, mimeType).defaults) {
                if (removed.count(id) == 0) {
                    if (auto application = FindDesktopApplication(paths, id)) {
                        return application;
                    }
                }
            }
        }
    }
    for (const auto& dir : paths.dataDirs) {
        for (const auto& id : DesktopIdsIn(dir + "/applications")) {
            if (removed.count(id) != 0) {
                continue;
            }
            auto application = FindDesktopApplication(paths, id);
            if (application &&
                std::find(application->entry.mimeTypes.begin(), application->entry.mimeTypes.end(),
                          mimeType) != application->entry.mimeTypes.end()) {
                return application;
            }
        }
    }
    return std::nullopt;
}

}  // namespace orvelle::desktop::xdg
