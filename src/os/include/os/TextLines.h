#pragma once

#include <string>
#include <vector>

namespace orvelle::os {

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

// `text` with every control character written as an escape: "\n", "\r", "\t", "\x1b"
// for the C0 controls and DEL, "\u009b" for the C1 controls of UTF-8. A name shown
// this way can neither start a line of its own nor drive a terminal. A backslash is
// left as it is, so escaping twice changes nothing.
inline std::string EscapeControls(const std::string& text) {
    constexpr char kHex[] = "0123456789abcdef";
    std::string shown;
    shown.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte == '\n') {
            shown += "\\n";
        } else if (byte == '\r') {
            shown += "\\r";
        } else if (byte == '\t') {
            shown += "\\t";
        } else if (byte < 0x20 || byte == 0x7f) {
            shown += "\\x";
            shown += kHex[byte >> 4];
            shown += kHex[byte & 0xf];
        } else if (byte == 0xc2 && i + 1 < text.size() &&
                   static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(text[i + 1]) <= 0x9f) {
            const auto control = static_cast<unsigned char>(text[++i]);
            shown += "\\u00";
            shown += kHex[control >> 4];
            shown += kHex[control & 0xf];
        } else {
            shown += static_cast<char>(byte);
        }
    }
    return shown;
}

}  // namespace orvelle::os
