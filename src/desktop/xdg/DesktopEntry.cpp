#include "DesktopEntry.h"

#include "os/TextLines.h"

namespace orvelle::desktop::xdg {
namespace {

// The escapes of every string value: \s \n \t \r \\.
std::string UnescapeValue(const std::string& raw) {
    std::string value;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != '\\' || i + 1 == raw.size()) {
            value += raw[i];
            continue;
        }
        switch (raw[++i]) {
        case 's':
            value += ' ';
            break;
        case 'n':
            value += '\n';
            break;
        case 't':
            value += '\t';
            break;
        case 'r':
            value += '\r';
            break;
        case '\\':
            value += '\\';
            break;
        default:  // not a string escape: kept for the Exec quoting rules
            value += '\\';
            value += raw[i];
            break;
        }
    }
    return value;
}

std::vector<std::string> SplitList(const std::string& value) {
    std::vector<std::string> items;
    std::string item;
    for (const char c : value) {
        if (c == ';') {
            if (!item.empty()) {
                items.push_back(item);
            }
            item.clear();
        } else {
            item += c;
        }
    }
    if (!item.empty()) {
        items.push_back(item);
    }
    return items;
}

}  // namespace

DesktopEntry DesktopEntry::Parse(const std::string& content) {
    DesktopEntry entry;
    bool inMainGroup = false;
    std::size_t start = 0;
    while (start < content.size()) {
        std::size_t end = content.find('\n', start);
        if (end == std::string::npos) {
            end = content.size();
        }
        const std::string line = os::Trim(content.substr(start, end - start));
        start = end + 1;
        if (line.empty() || line[0] == '#') {
            continue;
        }
        if (line[0] == '[') {
            inMainGroup = line == "[Desktop Entry]";
            continue;
        }
        const auto equals = line.find('=');
        if (!inMainGroup || equals == std::string::npos) {
            continue;
        }
        const std::string key = os::Trim(line.substr(0, equals));
        const std::string value = UnescapeValue(os::Trim(line.substr(equals + 1)));
        if (key == "Type") {
            entry.type = value;
        } else if (key == "Name") {
            entry.name = value;
        } else if (key == "Icon") {
            entry.icon = value;
        } else if (key == "Exec") {
            entry.exec = value;
        } else if (key == "TryExec") {
            entry.tryExec = value;
        } else if (key == "MimeType") {
            entry.mimeTypes = SplitList(value);
        } else if (key == "Hidden") {
            entry.hidden = value == "true";
        }
    }
    return entry;
}

bool DesktopEntry::IsStartableApplication() const {
    return type == "Application" && !hidden && SplitExec(exec).has_value();
}

std::optional<std::vector<std::string>> SplitExec(const std::string& exec) {
    std::vector<std::string> arguments;
    std::string current;
    bool inArgument = false;
    bool quoted = false;
    for (std::size_t i = 0; i < exec.size(); ++i) {
        const char c = exec[i];
        if (quoted) {
            if (c == '"') {
                quoted = false;
            } else if (c == '\\' && i + 1 < exec.size()) {
                current += exec[++i];
            } else {
                current += c;
            }
        } else if (c == ' ' || c == '\t' || c == '\n') {
            if (inArgument) {
                arguments.push_back(current);
                current.clear();
                inArgument = false;
            }
        } else if (c == '"') {
            quoted = true;
            inArgument = true;
        } else {
            current += c;
            inArgument = true;
        }
    }
    if (quoted) {
        return std::nullopt;
    }
    if (inArgument) {
        arguments.push_back(current);
    }
    if (arguments.empty()) {
        return std::nullopt;
    }
    return arguments;
}

std::vector<std::string> ExpandExec(const DesktopEntry& entry, const std::string& desktopFile,
                                    const std::vector<std::string>& targets) {
    const auto split = SplitExec(entry.exec);
    if (!split) {
        return {};
    }
    std::vector<std::string> command;
    bool targetsPlaced = false;
    for (const std::string& argument : *split) {
        if (argument == "%U" || argument == "%F") {
            command.insert(command.end(), targets.begin(), targets.end());
            targetsPlaced = true;
            continue;
        }
        if (argument == "%i") {
            if (!entry.icon.empty()) {
                command.push_back("--icon");
                command.push_back(entry.icon);
            }
            continue;
        }
        std::string expanded;
        bool dropped = false;
        for (std::size_t i = 0; i < argument.size(); ++i) {
            if (argument[i] != '%' || i + 1 == argument.size()) {
                expanded += argument[i];
                continue;
            }
            switch (argument[++i]) {
            case '%':
                expanded += '%';
                break;
            case 'u':
            case 'f':
            case 'U':
            case 'F':
                // One target per program start is all these codes can take inside a word.
                if (targets.empty()) {
                    dropped = argument.size() == 2;
                } else {
                    expanded += targets.front();
                }
                targetsPlaced = true;
                break;
            case 'c':
                expanded += entry.name;
                break;
            case 'k':
                expanded += desktopFile;
                break;
            default:  // deprecated and unknown codes expand to nothing
                dropped = argument.size() == 2;
                break;
            }
        }
        if (!dropped) {
            command.push_back(expanded);
        }
    }
    if (!targetsPlaced) {
        command.insert(command.end(), targets.begin(), targets.end());
    }
    return command;
}

}  // namespace orvelle::desktop::xdg
