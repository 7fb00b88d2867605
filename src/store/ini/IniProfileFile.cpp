#include "IniProfileFile.h"

#include "AtomicFile.h"
#include "XdgPaths.h"
#include "os/TextLines.h"
#include "store/ProfileBuffer.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <utility>
#include <vector>

namespace orvelle::store {
namespace {

bool SameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// "[name]" gives the trimmed name; anything else gives nothing.
bool SectionHeader(const std::string& line, std::string& name) {
    const std::string trimmed = os::Trim(line);
    if (trimmed.size() < 2 || trimmed.front() != '[') {
        return false;
    }
    const auto close = trimmed.find(']');
    if (close == std::string::npos) {
        return false;
    }
    name = os::Trim(trimmed.substr(1, close - 1));
    return true;
}

bool Entry(const std::string& line, std::string& key, std::string& value) {
    const auto equals = line.find('=');
    if (equals == std::string::npos) {
        return false;
    }
    key = os::Trim(line.substr(0, equals));
    value = os::Trim(line.substr(equals + 1));
    return !key.empty() && key.front() != ';';
}

std::string Unquote(const std::string& value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

// A line break in any part, a "]" in the section, or a key the reader takes for a
// comment, a header or a key with a value would write lines that read back as
// other entries than the one asked for.
bool Writable(const std::string& section, const std::string& key,
              const std::optional<std::string>& value) {
    const auto hasBreak = [](const std::string& text) {
        return text.find_first_of("\r\n") != std::string::npos;
    };
    return !hasBreak(section) && section.find(']') == std::string::npos && !hasBreak(key) &&
           key.find('=') == std::string::npos && key.front() != ';' && key.front() != '[' &&
           !(value && hasBreak(os::Trim(*value)));
}

}  // namespace

IniProfileFile::IniProfileFile(std::string path) : path_(std::move(path)) {
}

std::string IniProfileFile::DefaultPath() {
    return os::posix::XdgPaths::OrvelleConfigDir() + "/win.ini";
}

std::uint32_t IniProfileFile::GetPrivateProfileStringA(const std::string& section,
                                                       const std::string& key,
                                                       const std::string& defaultValue,
                                                       std::string& text,
                                                       std::uint32_t bufferSize) {
    std::string result = os::Trim(defaultValue);
    std::string content;
    if (os::posix::ReadWholeFile(path_, content) == 0) {
        const std::string wantedSection = os::Trim(section);
        const std::string wantedKey = os::Trim(key);
        bool inSection = false;
        for (const auto& line : os::SplitLines(content)) {
            std::string name;
            if (SectionHeader(line, name)) {
                if (inSection) {
                    break;  // the first matching section alone is read, as the platform does
                }
                inSection = SameName(name, wantedSection);
                continue;
            }
            std::string entryKey;
            std::string entryValue;
            if (inSection && Entry(line, entryKey, entryValue) && SameName(entryKey, wantedKey)) {
                result = Unquote(entryValue);
                break;
            }
        }
    }
    return FitProfileBuffer(std::move(result), bufferSize, text);
}

bool IniProfileFile::WritePrivateProfileStringA(const std::string& section, const std::string& key,
                                                const std::optional<std::string>& value) {
    const std::string wantedSection = os::Trim(section);
    const std::string wantedKey = os::Trim(key);
    if (wantedSection.empty() || wantedKey.empty() || !Writable(wantedSection, wantedKey, value)) {
        return false;
    }
    std::string content;
    const int readError = os::posix::ReadWholeFile(path_, content);
    if (readError != 0 && readError != ENOENT) {
        return false;  // never replace a file we could not read
    }
    std::vector<std::string> lines = os::SplitLines(content);
    const std::string newLine = value ? wantedKey + "=" + os::Trim(*value) : std::string{};

    std::size_t sectionStart = lines.size();
    std::size_t sectionEnd = lines.size();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string name;
        if (SectionHeader(lines[i], name)) {
            if (sectionStart != lines.size()) {
                sectionEnd = i;
                break;
            }
            if (SameName(name, wantedSection)) {
                sectionStart = i;
            }
        }
    }
    if (sectionStart == lines.size()) {
        if (!value) {
            return true;  // nothing to delete
        }
        lines.push_back("[" + wantedSection + "]");
        lines.push_back(newLine);
    } else {
        // Stop before trailing blank lines so that a new entry joins the section's entries.
        std::size_t insertAt = sectionEnd;
        while (insertAt > sectionStart + 1 && os::Trim(lines[insertAt - 1]).empty()) {
            --insertAt;
        }
        // A write replaces the entry a read finds (the first); a delete removes every entry of
        // the key, so that none behind it comes to light.
        bool replaced = false;
        for (std::size_t i = sectionStart + 1; i < sectionEnd && !(replaced && value);) {
            std::string entryKey;
            std::string entryValue;
            if (!Entry(lines[i], entryKey, entryValue) || !SameName(entryKey, wantedKey)) {
                ++i;
            } else if (value) {
                lines[i] = newLine;
                replaced = true;
            } else {
                lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(i));
                --sectionEnd;
                replaced = true;
            }
        }
        if (!replaced) {
            if (!value) {
                return true;
            }
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insertAt), newLine);
        }
    }
    std::string output;
    for (const auto& line : lines) {
        output += line;
        output += '\n';
    }
    return os::posix::WriteFileAtomically(path_, output) == 0;
}

}  // namespace orvelle::store
