#include "IniText.h"

#include "os/TextLines.h"

#include <algorithm>
#include <sstream>

namespace orvelle::traces {
namespace {

using os::Trim;

// "[name]" gives name; anything else gives nullopt-like false.
bool SectionName(const std::string& line, std::string& name) {
    const std::string trimmed = Trim(line);
    if (trimmed.size() < 2 || trimmed.front() != '[' || trimmed.back() != ']') {
        return false;
    }
    name = trimmed.substr(1, trimmed.size() - 2);
    return true;
}

}  // namespace

IniText::IniText(const std::string& text) {
    std::istringstream stream(text);
    std::string line;
    std::string section;
    while (std::getline(stream, line)) {
        if (SectionName(line, section)) {
            sections_.push_back(section);
            continue;
        }
        const auto equals = line.find('=');
        if (equals == std::string::npos) {
            continue;
        }
        lines_.push_back({section, Trim(line.substr(0, equals)), Trim(line.substr(equals + 1))});
    }
}

std::string IniText::Value(const std::string& section, const std::string& key) const {
    const auto found = std::find_if(lines_.begin(), lines_.end(), [&](const Line& line) {
        return line.section == section && line.key == key;
    });
    return found == lines_.end() ? std::string() : found->value;
}

std::string WithoutKeys(const std::string& text, const std::vector<std::string>& sections,
                        const std::vector<std::string>& keys, int& removed) {
    removed = 0;
    std::string result;
    std::string section;
    std::size_t start = 0;
    while (start < text.size()) {
        auto end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        const std::string line = text.substr(start, end - start);
        start = end;
        std::string name;
        if (SectionName(line, name)) {
            section = name;
        } else if (const auto equals = line.find('='); equals != std::string::npos) {
            const std::string key = Trim(line.substr(0, equals));
            if (std::find(sections.begin(), sections.end(), section) != sections.end() &&
                std::find(keys.begin(), keys.end(), key) != keys.end()) {
                ++removed;
                continue;
            }
        }
        result += line;
    }
    return result;
}

}  // namespace orvelle::traces
