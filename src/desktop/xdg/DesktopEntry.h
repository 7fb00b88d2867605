#pragma once

#include <optional>
#include <string>
#include <vector>

namespace orvelle::desktop::xdg {

// The keys of a freedesktop .desktop file's [Desktop Entry] group that starting a
// program needs (string values already unescaped).
struct DesktopEntry {
    std::string type;
    std::string name;
    std::string icon;
    std::string exec;
    std::string tryExec;
    std::vector<std::string> mimeTypes;
    bool hidden = false;

    // Parses a .desktop file's text; keys of other groups and localised keys are ignored.
    static DesktopEntry Parse(const std::string& content);
    // An application that can be started: Type=Application, an Exec line, not Hidden.
    [[nodiscard]] bool IsStartableApplication() const;
};

// Splits an Exec value into its arguments by the desktop-entry quoting rules; nullopt when
// its quoting is broken or it is empty.
std::optional<std::vector<std::string>> SplitExec(const std::string& exec);

// The command line that opens `targets` (addresses or files) with the entry: the field
// codes %f %F %u %U %i %c %k %% expanded, deprecated ones dropped, and the targets appended
// when the line names none. Empty when the Exec line cannot be split.
std::vector<std::string> ExpandExec(const DesktopEntry& entry, const std::string& desktopFile,
                                    const std::vector<std::string>& targets);

}  // namespace orvelle::desktop::xdg
