#pragma once

#include <string>
#include <vector>

namespace orvelle::platform {

// `text` without the `blanks` (spaces, tabs and line ends unless told) at either end.
inline std::string Trim(const std::string& text, const char* blanks = " \t\r\n") {
    const auto first = text.find_first_not_of(blanks);
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// The lines of a text: LF or CR LF end a line; a last line without an ending
// counts; nothing after the last ending adds an empty line.
inline std::vector<std::string> SplitLines(const std::string& content) {
    std::vector<std::string> lines;
    std::string::size_type start = 0;
    while (start < content.size()) {
        auto end = content.find('\n', start);
        if (end == std::string::npos) {
            end = content.size();
        }
        std::string line = content.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

}  // namespace orvelle::platform
