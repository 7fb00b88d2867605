#include "XdgShellExecute.h"

#include "DetachedProcess.h"

#include "UniqueFd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace orvelle::desktop::xdg {
namespace {

bool EndsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// "scheme:" of an address such as https://example.org; empty for a file path.
std::string UrlScheme(const std::string& text) {
    const auto colon = text.find(':');
    if (colon == std::string::npos || colon == 0 ||
        !std::isalpha(static_cast<unsigned char>(text[0]))) {
        return {};
    }
    for (std::size_t i = 0; i < colon; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (!std::isalnum(c) && c != '+' && c != '-' && c != '.') {
            return {};
        }
    }
    std::string scheme = text.substr(0, colon);
    std::transform(scheme.begin(), scheme.end(), scheme.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return scheme;
}

// The path that execve needs: `program` itself when it holds a slash, else its place on
// $PATH. Empty with `error` set when it cannot be found.
int ResultFor(int error) {
    switch (error) {
    case 0:
        return kShellSuccess;
    case ENOENT:
        return SE_ERR_FNF;
    case ENOTDIR:
        return SE_ERR_PNF;
    case EACCES:
    case EPERM:
        return SE_ERR_ACCESSDENIED;
    case ENOEXEC:
        return ERROR_BAD_FORMAT;
    case ENOMEM:
    case EAGAIN:
        return SE_ERR_OOM;
    default:
        return 0;
    }
}

std::optional<DesktopEntry> ReadDesktopEntry(const std::string& path) {
    std::ifstream file(path);
    if (!file) {
        return std::nullopt;
    }
    std::ostringstream content;
    content << file.rdbuf();
    return DesktopEntry::Parse(content.str());
}

bool IsRegularFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

std::optional<std::vector<std::string>> SplitParameters(const std::string& parameters) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    char quote = 0;
    for (std::size_t i = 0; i < parameters.size(); ++i) {
        const char c = parameters[i];
        if (quote == '\'') {
            if (c == '\'') {
                quote = 0;
            } else {
                word += c;
            }
        } else if (quote == '"') {
            if (c == '"') {
                quote = 0;
            } else if (c == '\\' && i + 1 < parameters.size() &&
                       std::string_view("\"\\$`").find(parameters[i + 1]) !=
                           std::string_view::npos) {
                word += parameters[++i];
            } else {
                word += c;
            }
        } else if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            if (inWord) {
                words.push_back(word);
                word.clear();
                inWord = false;
            }
        } else if (c == '"' || c == '\'') {
            quote = c;
            inWord = true;
        } else if (c == '\\' && i + 1 < parameters.size()) {
            word += parameters[++i];
            inWord = true;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (quote != 0) {
        return std::nullopt;
    }
    if (inWord) {
        words.push_back(word);
    }
    return words;
}

XdgShellExecute::XdgShellExecute(std::optional<XdgSearchPaths> searchPaths)
    : searchPaths_(std::move(searchPaths)) {
}

XdgSearchPaths XdgShellExecute::Paths() const {
    return searchPaths_ ? *searchPaths_ : XdgSearchPaths::FromEnvironment();
}

int XdgShellExecute::FindExecutableA(const std::string& file, std::string& executable) {
    executable.clear();
    if (!IsRegularFile(file)) {
        return SE_ERR_FNF;
    }
    const XdgSearchPaths paths = Paths();
    const auto application = DefaultApplicationFor(paths, MimeTypeForFileName(paths, file));
    if (!application) {
        return SE_ERR_NOASSOC;
    }
    executable = application->path;
    return kShellSuccess;
}

int XdgShellExecute::ShellExecuteA(WindowHandle /*parent*/, const std::string& operation,
                                   const std::string& file, const std::string& parameters,
                                   int /*showCommand*/) {
    // The parent window and the show command have no meaning for a separate X11 client:
    // the window manager places and activates the new window.
    std::string verb = operation;
    std::transform(verb.begin(), verb.end(), verb.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (!verb.empty() && verb != "open") {
        return SE_ERR_NOASSOC;
    }
    const auto arguments = SplitParameters(parameters);
    if (!arguments || file.empty()) {
        return SE_ERR_FNF;
    }
    const XdgSearchPaths paths = Paths();
    if (EndsWith(file, ".desktop") && IsRegularFile(file)) {
        const auto entry = ReadDesktopEntry(file);
        if (!entry || !entry->IsStartableApplication()) {
            return SE_ERR_NOASSOC;
        }
        return ResultFor(os::posix::StartDetached(ExpandExec(*entry, file, *arguments)));
    }
    const std::string scheme = UrlScheme(file);
    const bool isUrl = !scheme.empty() && !IsRegularFile(file);
    struct stat info {};
    const bool isProgram =
        !isUrl &&
        (file.find('/') == std::string::npos ||
         (::stat(file.c_str(), &info) == 0 && S_ISREG(info.st_mode) && (info.st_mode & 0111) != 0));
    if (isProgram) {
        std::vector<std::string> command = {file};
        command.insert(command.end(), arguments->begin(), arguments->end());
        return ResultFor(os::posix::StartDetached(command));
    }
    // A document or an address: opened by the program associated with it.
    if (!isUrl && !IsRegularFile(file)) {
        return SE_ERR_FNF;
    }
    const auto application = DefaultApplicationFor(
        paths, isUrl ? "x-scheme-handler/" + scheme : MimeTypeForFileName(paths, file));
    if (!application) {
        return SE_ERR_NOASSOC;
    }
    std::vector<std::string> targets = {file};
    targets.insert(targets.end(), arguments->begin(), arguments->end());
    return ResultFor(
        os::posix::StartDetached(ExpandExec(application->entry, application->path, targets)));
}

}  // namespace orvelle::desktop::xdg
