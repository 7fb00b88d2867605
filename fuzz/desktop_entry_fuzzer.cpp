// Feeds arbitrary desktop files to the desktop-entry reader: any program may install
// one in the user's applications folder, and the program starts what it names. The
// input is cut at NUL bytes into a desktop file's text, a target to open and a
// program path.
//
// Besides the sanitizers it checks what must hold for any input: an Exec line that
// splits gives arguments, its program stays the program whatever the field codes
// say, and the one target asked for is handed over; the desktop entry the program
// writes for its own file type starts exactly its program with the file, whatever
// the program's path holds.

#include "DesktopEntry.h"
#include "FuzzRequire.h"
#include "XdgFileTypeAssociation.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using orvelle::fuzz::Require;
using namespace orvelle::desktop::xdg;

void CheckEntry(const std::string& text, const std::string& target) {
    const DesktopEntry entry = DesktopEntry::Parse(text);
    for (const std::string& type : entry.mimeTypes) {
        Require(!type.empty() && type.find(';') == std::string::npos);
    }
    const auto split = SplitExec(entry.exec);
    Require(!split || !split->empty());
    Require(entry.IsStartableApplication() ==
            (entry.type == "Application" && !entry.hidden && split.has_value()));
    if (!split || target.empty() || target.find('%') != std::string::npos) {
        return;
    }
    const std::vector<std::string> command = ExpandExec(entry, "/x.desktop", {target});
    // A program written without field codes is what runs, never the file opened.
    if (split->front().find('%') == std::string::npos) {
        Require(!command.empty() && command.front() == split->front());
    }
    Require(std::any_of(command.begin(), command.end(), [&](const std::string& argument) {
        return argument.find(target) != std::string::npos;
    }));
}

void CheckOwnEntry(const std::string& programPath, const std::string& target) {
    // A path never holds a NUL byte.
    if (programPath.empty() || target.empty() || programPath.find('\0') != std::string::npos) {
        return;
    }
    orvelle::desktop::FileTypeAssociation association;
    association.id = "orvelle-fuzz";
    association.mimeType = "application/x-fuzz";
    association.application = "Orvelle";
    association.programPath = programPath;
    const DesktopEntry entry =
        DesktopEntry::Parse(XdgFileTypeAssociation::DesktopEntry(association));
    Require(entry.IsStartableApplication());
    Require(entry.mimeTypes == std::vector<std::string>{association.mimeType});
    const std::vector<std::string> command = ExpandExec(entry, "/x.desktop", {target});
    Require(command == std::vector<std::string>{programPath, target});
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> parts(3);
    std::size_t part = 0;
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0 && part + 1 < parts.size()) {
            ++part;
        } else {
            parts[part] += static_cast<char>(data[i]);
        }
    }
    CheckEntry(parts[0], parts[1]);
    CheckOwnEntry(parts[2], parts[1]);
    return 0;
}
