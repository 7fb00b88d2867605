#include "Windows1252.h"

#include <array>
#include <cstdint>

namespace orvelle::veilor64 {
namespace {

// Characters of the codes 0x80 to 0x9F; the rest of the code page is Latin-1.
constexpr std::array<char32_t, 32> kHighControls{
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

constexpr char kReplacement = '?';
constexpr char32_t kInvalid = 0xFFFFFFFF;

// Decodes one character at `position` and advances past it; an invalid or
// truncated sequence, an overlong form or a surrogate yields kInvalid and
// advances by one byte, so every byte of the text is consumed exactly once.
char32_t NextCharacter(std::string_view text, std::size_t& position) {
    const auto lead = static_cast<std::uint8_t>(text[position]);
    if (lead < 0x80) {
        ++position;
        return lead;
    }
    std::size_t length = 0;
    char32_t value = 0;
    char32_t minimum = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        value = lead & 0x1F;
        minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        value = lead & 0x0F;
        minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        value = lead & 0x07;
        minimum = 0x10000;
    } else {
        ++position;
        return kInvalid;
    }
    if (position + length > text.size()) {
        ++position;
        return kInvalid;
    }
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<std::uint8_t>(text[position + i]);
        if ((next & 0xC0) != 0x80) {
            ++position;
            return kInvalid;
        }
        value = (value << 6) | (next & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        ++position;
        return kInvalid;
    }
    position += length;
    return value;
}

char ToByte(char32_t character) {
    if (character < 0x80 || (character >= 0xA0 && character <= 0xFF)) {
        return static_cast<char>(character);
    }
    for (std::size_t code = 0; code < kHighControls.size(); ++code) {
        if (kHighControls[code] == character) {
            return static_cast<char>(0x80 + code);
        }
    }
    return kReplacement;
}

void AppendUtf8(std::string& out, char32_t character) {
    if (character < 0x80) {
        out += static_cast<char>(character);
    } else if (character < 0x800) {
        out += static_cast<char>(0xC0 | (character >> 6));
        out += static_cast<char>(0x80 | (character & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (character >> 12));
        out += static_cast<char>(0x80 | ((character >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (character & 0x3F));
    }
}

}  // namespace

std::string ToWindows1252(std::string_view utf8) {
    std::string bytes;
    bytes.reserve(utf8.size());
    std::size_t position = 0;
    while (position < utf8.size()) {
        const char32_t character = NextCharacter(utf8, position);
        bytes += character == kInvalid ? kReplacement : ToByte(character);
    }
    return bytes;
}

std::string FirstCharacterOutsideWindows1252(std::string_view utf8) {
    std::size_t position = 0;
    while (position < utf8.size()) {
        const std::size_t start = position;
        const char32_t character = NextCharacter(utf8, position);
        if (character == kInvalid || (ToByte(character) == kReplacement &&
                                      character != static_cast<char32_t>(kReplacement))) {
            return std::string(utf8.substr(start, position - start));
        }
    }
    return {};
}

std::string FromWindows1252(std::string_view bytes) {
    std::string utf8;
    utf8.reserve(bytes.size() * 2);
    for (const char byte : bytes) {
        const auto code = static_cast<std::uint8_t>(byte);
        // Every character of the code page lies in the Basic Multilingual Plane.
        AppendUtf8(utf8, code >= 0x80 && code < 0xA0 ? kHighControls[code - 0x80] : code);
    }
    return utf8;
}

std::size_t CharacterCount(std::string_view utf8) {
    std::size_t count = 0;
    std::size_t position = 0;
    while (position < utf8.size()) {
        static_cast<void>(NextCharacter(utf8, position));
        ++count;
    }
    return count;
}

}  // namespace orvelle::veilor64
