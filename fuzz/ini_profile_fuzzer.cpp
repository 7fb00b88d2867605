// Feeds an arbitrary "WIN.INI" and arbitrary profile calls to the INI profile file:
// the file lies in the user's configuration folder, where any program and any hand
// may change it. The input is cut at NUL bytes into the file's text and then
// (section, key, value) triples, each one write; a value of a single DEL byte
// deletes the key.
//
// Besides the sanitizers it checks what must hold for any input: a write that
// succeeds is read back as written (trimmed, quotes taken off), a delete leaves the
// key missing, a write changes no other entry, and a read into a buffer returns the
// front of the value that fits.

#include "FuzzRequire.h"
#include "IniProfileFile.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace {

using orvelle::fuzz::Require;
using orvelle::store::IniProfileFile;

constexpr char kDelete[] = "\x7f";

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string Unquote(const std::string& value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

// The value read, or nullopt when the key is missing (two defaults tell that apart).
std::optional<std::string> Read(IniProfileFile& file, const std::string& section,
                                const std::string& key) {
    std::string first;
    std::string second;
    file.GetPrivateProfileStringA(section, key, "a", first, 65536);
    file.GetPrivateProfileStringA(section, key, "b", second, 65536);
    if (first != second) {
        Require(first == "a" && second == "b");
        return std::nullopt;
    }
    return first;
}

void CheckBuffer(IniProfileFile& file, const std::string& section, const std::string& key) {
    std::string whole;
    const std::uint32_t length = file.GetPrivateProfileStringA(section, key, "", whole, 65536);
    Require(length == whole.size());
    for (const std::uint32_t size : {0U, 1U, 2U, length, length + 1}) {
        std::string text = "old";
        const std::uint32_t copied = file.GetPrivateProfileStringA(section, key, "", text, size);
        Require(copied == text.size() && copied == std::min(length, size == 0 ? 0 : size - 1));
        Require(whole.compare(0, text.size(), text) == 0);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = "/tmp/ini-profile-fuzz-" + std::to_string(::getpid()) + ".ini";
    std::vector<std::string> parts(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            parts.emplace_back();
        } else {
            parts.back() += static_cast<char>(data[i]);
        }
    }
    std::ofstream(path, std::ios::binary | std::ios::trunc) << parts[0];
    IniProfileFile file(path);
    std::string lastSection;
    std::string lastKey;
    for (std::size_t i = 1; i + 2 < parts.size(); i += 3) {
        const std::string& section = parts[i];
        const std::string& key = parts[i + 1];
        const bool remove = parts[i + 2] == kDelete;
        const std::optional<std::string> value =
            remove ? std::nullopt : std::optional<std::string>(parts[i + 2]);
        const bool sameAsLast = Lower(Trim(section)) == Lower(Trim(lastSection)) &&
                                Lower(Trim(key)) == Lower(Trim(lastKey));
        const auto lastBefore = Read(file, lastSection, lastKey);
        if (file.WritePrivateProfileStringA(section, key, value)) {
            const auto after = Read(file, section, key);
            Require(remove ? !after.has_value() : after == Unquote(Trim(*value)));
            if (!sameAsLast) {
                Require(Read(file, lastSection, lastKey) == lastBefore);
            }
        }
        CheckBuffer(file, section, key);
        lastSection = section;
        lastKey = key;
    }
    ::unlink(path.c_str());
    return 0;
}
