#include "CommandText.h"

namespace orvelle::cleancli {
namespace {

using nlohmann::json;

bool ValidUtf8(const std::string& text) {
    try {
        static_cast<void>(json(text).dump());
        return true;
    } catch (const json::type_error&) {
        return false;
    }
}

std::string ByteCharacters(const std::string& bytes) {
    std::string text;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            text += c;
        } else {
            text += static_cast<char>(0xc0 | (byte >> 6));
            text += static_cast<char>(0x80 | (byte & 0x3f));
        }
    }
    return text;
}

}  // namespace

void SetText(json& object, const std::string& field, const std::string& value) {
    object[field] = value;
    if (!ValidUtf8(value)) {
        object[field + "Bytes"] = ByteCharacters(value);
    }
}

std::string Dump(const json& document) {
    return document.dump(2, ' ', false, json::error_handler_t::replace);
}

std::string Coloured(const std::string& text, cleaning::LogColour colour, bool terminal) {
    if (!terminal) {
        return text;
    }
    const char* code = colour == cleaning::kLogRed     ? "\033[31m"
                       : colour == cleaning::kLogGreen ? "\033[32m"
                       : colour == cleaning::kLogBlue  ? "\033[34m"
                                                       : "\033[1m";
    return code + text + "\033[0m";
}

}  // namespace orvelle::cleancli
