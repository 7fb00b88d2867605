#include "XdgStartupList.h"

#include "AtomicFile.h"
#include "XdgPaths.h"

#include <unistd.h>

#include <cerrno>

namespace orvelle::os::posix {

XdgStartupList::XdgStartupList(std::string folder) : folder_(std::move(folder)) {
}

std::string XdgStartupList::Folder() const {
    return folder_.empty() ? XdgPaths::ConfigHome() + "/autostart" : folder_;
}

std::string XdgStartupList::EntryPath(const std::string& name) const {
    return Folder() + "/" + name + ".desktop";
}

std::string XdgStartupList::ExecValue(const std::string& programPath) {
    // The Exec key is a string value (backslashes escaped) holding one argument,
    // quoted by the desktop entry rules when it has reserved characters; "%" is
    // doubled because it starts field codes; a line break is written as its escape, or
    // the rest of the path would become a line of its own.
    bool needsQuotes = false;
    for (const char c : programPath) {
        if (std::string_view(" \t\n\r\"'\\><~|&;$*?#()`").find(c) != std::string_view::npos) {
            needsQuotes = true;
        }
    }
    std::string argument;
    if (needsQuotes) {
        argument += '"';
        for (const char c : programPath) {
            if (c == '"' || c == '`' || c == '$' || c == '\\') {
                argument += '\\';
            }
            argument += c;
        }
        argument += '"';
    } else {
        argument = programPath;
    }
    std::string value;
    for (const char c : argument) {
        if (c == '\\') {
            value += "\\\\";
        } else if (c == '%') {
            value += "%%";
        } else if (c == '\n') {
            value += "\\n";
        } else if (c == '\r') {
            value += "\\r";
        } else {
            value += c;
        }
    }
    return value;
}

bool XdgStartupList::AddEntry(const std::string& name, const std::string& programPath) {
    const std::string folder = Folder();
    if (!MakeDirectories(folder, 0700)) {
        return false;
    }
    const std::string content =
        "[Desktop Entry]\n"
        "Type=Application\n"
        "Name=" +
        name +
        "\n"
        "Comment=Start " +
        name +
        " at log-on\n"
        "Exec=" +
        ExecValue(programPath) +
        "\n"
        "Terminal=false\n"
        "X-GNOME-Autostart-enabled=true\n";
    return WriteFileAtomically(EntryPath(name), content, 0644) == 0;
}

bool XdgStartupList::RemoveEntry(const std::string& name) {
    return ::unlink(EntryPath(name).c_str()) == 0 || errno == ENOENT;
}

}  // namespace orvelle::os::posix
