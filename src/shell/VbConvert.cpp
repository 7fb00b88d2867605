#include "VbConvert.h"

#include "os/RuntimeError.h"
#include "os/TextLines.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace orvelle::shell {
namespace {

enum class ParseResult { Ok, NotANumber, Overflow };

bool IEquals(const std::string& a, const char* b) {
    std::size_t i = 0;
    for (; i < a.size() && b[i] != '\0'; ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != b[i]) {
            return false;
        }
    }
    return i == a.size() && b[i] == '\0';
}

// "&H7F", "&O17": the text after the "&" and its letter, read in that radix.
ParseResult ParseRadixLiteral(const std::string& text, double& value) {
    const char radixLetter = static_cast<char>(std::tolower(static_cast<unsigned char>(text[1])));
    const int radix = radixLetter == 'h' ? 16 : radixLetter == 'o' ? 8 : 0;
    if (radix == 0) {
        return ParseResult::NotANumber;
    }
    unsigned long long digits = 0;
    for (std::size_t i = 2; i < text.size(); ++i) {
        const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(text[i])));
        int digit = -1;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        }
        if (digit < 0 || digit >= radix) {
            return ParseResult::NotANumber;
        }
        digits = digits * static_cast<unsigned>(radix) + static_cast<unsigned>(digit);
        if (digits > 0xFFFFFFFFull) {
            return ParseResult::Overflow;
        }
    }
    // Hexadecimal literals are 32-bit two's complement patterns.
    value = static_cast<double>(static_cast<std::int32_t>(static_cast<std::uint32_t>(digits)));
    return ParseResult::Ok;
}

ParseResult ParseDecimal(const std::string& text, double& value) {
    // Decimal: sign, digits, optional fraction, optional exponent; nothing else.
    std::size_t i = 0;
    if (text[i] == '+' || text[i] == '-') {
        ++i;
    }
    std::size_t digitCount = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) != 0) {
        ++i;
        ++digitCount;
    }
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) != 0) {
            ++i;
            ++digitCount;
        }
    }
    if (digitCount == 0) {
        return ParseResult::NotANumber;
    }
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
            ++i;
        }
        std::size_t exponentDigits = 0;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) != 0) {
            ++i;
            ++exponentDigits;
        }
        if (exponentDigits == 0) {
            return ParseResult::NotANumber;
        }
    }
    if (i != text.size()) {
        return ParseResult::NotANumber;
    }
    value = std::strtod(text.c_str(), nullptr);
    if (!std::isfinite(value)) {
        return ParseResult::Overflow;
    }
    return ParseResult::Ok;
}

ParseResult Parse(const std::string& input, double& value) {
    const std::string text = os::Trim(input, " \t");
    if (text.empty()) {
        return ParseResult::NotANumber;
    }
    if (IEquals(text, "true")) {
        value = -1;
        return ParseResult::Ok;
    }
    if (IEquals(text, "false")) {
        value = 0;
        return ParseResult::Ok;
    }
    if (text.size() > 2 && text[0] == '&') {
        return ParseRadixLiteral(text, value);
    }
    return ParseDecimal(text, value);
}

template <typename Integer>
ParseResult ToInteger(const std::string& text, Integer& result) {
    double value = 0;
    const ParseResult parsed = Parse(text, value);
    if (parsed != ParseResult::Ok) {
        return parsed;
    }
    // Halves go to the even neighbour, as the run-time rounds.
    const double rounded = std::nearbyint(value);
    if (rounded < static_cast<double>(std::numeric_limits<Integer>::min()) ||
        rounded > static_cast<double>(std::numeric_limits<Integer>::max())) {
        return ParseResult::Overflow;
    }
    result = static_cast<Integer>(rounded);
    return ParseResult::Ok;
}

template <typename Integer>
Integer ToIntegerOrThrow(const std::string& text) {
    Integer result = 0;
    switch (ToInteger(text, result)) {
    case ParseResult::Ok:
        return result;
    case ParseResult::NotANumber:
        throw os::RuntimeError(os::errors::kTypeMismatch, "Type mismatch");
    case ParseResult::Overflow:
        break;
    }
    throw os::RuntimeError(os::errors::kOverflow, "Overflow");
}

}  // namespace

std::int16_t ToInt16(const std::string& text) {
    return ToIntegerOrThrow<std::int16_t>(text);
}

std::int32_t ToInt32(const std::string& text) {
    return ToIntegerOrThrow<std::int32_t>(text);
}

bool TryToInt32(const std::string& text, std::int32_t& value) {
    return ToInteger(text, value) == ParseResult::Ok;
}

}  // namespace orvelle::shell
