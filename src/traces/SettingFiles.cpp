#include "SettingFiles.h"

#include "AtomicFile.h"
#include "IniText.h"

#include <sys/stat.h>
#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstring>

namespace orvelle::traces {
namespace {

using os::posix::ReadWholeFile;
using os::posix::WriteFileAtomically;

std::string Failure(const std::string& path, int error) {
    return "Not changed: \"" + path + "\": " + std::strerror(error);
}

// The file's text ("" when missing) and its mode (`fallback` when missing).
int ReadExisting(const std::string& path, std::string& text, unsigned& mode, unsigned fallback) {
    struct stat info {};
    mode = fallback;
    text.clear();
    if (::lstat(path.c_str(), &info) != 0) {
        return errno == ENOENT ? 0 : errno;
    }
    if (!S_ISREG(info.st_mode)) {
        return ELOOP;  // a link or something stranger: never written through
    }
    mode = info.st_mode & 07777;
    return ReadWholeFile(path, text);
}

std::string Write(const std::string& path, const std::string& text, unsigned mode) {
    const int error = WriteFileAtomically(path, text, mode);
    return error == 0 ? std::string() : Failure(path, error);
}

// True when `line` is a user_pref call for `name` (either quote style).
bool SetsPref(const std::string& line, const std::string& name) {
    const auto start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line.compare(start, 9, "user_pref") != 0) {
        return false;
    }
    const auto open = line.find('(', start);
    if (open == std::string::npos) {
        return false;
    }
    const auto quote = line.find_first_not_of(" \t", open + 1);
    if (quote == std::string::npos || (line[quote] != '"' && line[quote] != '\'')) {
        return false;
    }
    return line.compare(quote + 1, name.size(), name) == 0 &&
           quote + 1 + name.size() < line.size() && line[quote + 1 + name.size()] == line[quote];
}

}  // namespace

std::string JsString(const std::string& text) {
    std::string literal = "\"";
    for (const char c : text) {
        switch (c) {
        case '"':
            literal += "\\\"";
            break;
        case '\\':
            literal += "\\\\";
            break;
        case '\n':
            literal += "\\n";
            break;
        case '\r':
            literal += "\\r";
            break;
        default:
            literal += c;
        }
    }
    return literal + "\"";
}

std::string SetUserPrefs(const std::string& userJs,
                         const std::vector<std::pair<std::string, std::string>>& prefs) {
    std::string text;
    unsigned mode = 0644;
    if (const int error = ReadExisting(userJs, text, mode, 0644); error != 0) {
        return Failure(userJs, error);
    }
    std::string result;
    std::size_t start = 0;
    while (start < text.size()) {
        auto end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        const std::string line = text.substr(start, end - start);
        start = end;
        bool ours = false;
        for (const auto& pref : prefs) {
            ours = ours || SetsPref(line, pref.first);
        }
        if (!ours) {
            result += line;
        }
    }
    if (!result.empty() && result.back() != '\n') {
        result += '\n';
    }
    for (const auto& [name, value] : prefs) {
        result += "user_pref(" + JsString(name) + ", " + value + ");\n";
    }
    return Write(userJs, result, mode);
}

std::string SetChromiumStartPage(const std::string& preferences, const std::string& address) {
    std::string text;
    unsigned mode = 0600;
    if (const int error = ReadExisting(preferences, text, mode, 0600); error != 0) {
        return Failure(preferences, error);
    }
    auto json = nlohmann::ordered_json::parse(text, nullptr, false);
    if (json.is_discarded() || !json.is_object()) {
        return "Not changed: \"" + preferences + "\" is not valid JSON";
    }
    json["homepage"] = address;
    json["homepage_is_newtabpage"] = false;
    auto& session = json["session"];
    if (!session.is_object()) {
        session = nlohmann::ordered_json::object();
    }
    session["restore_on_startup"] = 4;
    session["startup_urls"] = nlohmann::ordered_json::array({address});
    std::string written;
    try {
        written = json.dump();
    } catch (const nlohmann::json::exception&) {
        // The file read was valid JSON, so only the address can be at fault.
        return "Not changed: the address for \"" + preferences + "\" is not UTF-8 text";
    }
    return Write(preferences, written, mode);
}

std::string RemoveChromiumEngagement(const std::string& preferences) {
    std::string text;
    unsigned mode = 0600;
    if (const int error = ReadExisting(preferences, text, mode, 0600); error != 0) {
        return Failure(preferences, error);
    }
    auto json = nlohmann::ordered_json::parse(text, nullptr, false);
    if (json.is_discarded() || !json.is_object()) {
        return "Not changed: \"" + preferences + "\" is not valid JSON";
    }
    const auto profile = json.find("profile");
    if (profile == json.end() || !profile->is_object()) {
        return {};
    }
    const auto settings = profile->find("content_settings");
    if (settings == profile->end() || !settings->is_object()) {
        return {};
    }
    const auto exceptions = settings->find("exceptions");
    if (exceptions == settings->end() || !exceptions->is_object()) {
        return {};
    }
    bool changed = false;
    for (const char* kind : {"site_engagement", "media_engagement"}) {
        const auto entries = exceptions->find(kind);
        if (entries != exceptions->end() && entries->is_object() && !entries->empty()) {
            *entries = nlohmann::ordered_json::object();
            changed = true;
        }
    }
    return changed ? Write(preferences, json.dump(), mode) : std::string();
}

std::string EmptyRecentList(const std::string& xbel) {
    std::string text;
    unsigned mode = 0600;
    if (const int error = ReadExisting(xbel, text, mode, 0600); error != 0) {
        return Failure(xbel, error);
    }
    static constexpr const char* kEmpty =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<xbel version=\"1.0\"\n"
        "      xmlns:bookmark=\"http://www.freedesktop.org/standards/desktop-bookmarks\"\n"
        "      xmlns:mime=\"http://www.freedesktop.org/standards/shared-mime-info\"\n"
        "></xbel>\n";
    return Write(xbel, kEmpty, mode);
}

std::string RemoveKRunnerHistory(const std::string& file) {
    std::string text;
    unsigned mode = 0600;
    if (const int error = ReadExisting(file, text, mode, 0600); error != 0) {
        return Failure(file, error);
    }
    int removed = 0;
    const std::string result =
        WithoutKeys(text, {"PlasmaRunnerManager", "General"}, {"history"}, removed);
    return removed == 0 ? std::string() : Write(file, result, mode);
}

}  // namespace orvelle::traces
