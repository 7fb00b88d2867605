#include "AgeFormat.h"

#include "AgeErrors.h"

#include <array>

namespace orvelle::veilor64::age {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::size_t kColumns = 64;
constexpr std::string_view kStanzaStart = "-> ";
constexpr std::string_view kMacStart = "---";

int Base64Value(char c) {
    if (c >= 'A' && c <= 'Z') {
        return c - 'A';
    }
    if (c >= 'a' && c <= 'z') {
        return c - 'a' + 26;
    }
    if (c >= '0' && c <= '9') {
        return c - '0' + 52;
    }
    if (c == '+') {
        return 62;
    }
    if (c == '/') {
        return 63;
    }
    return -1;
}

bool IsBase64Text(std::string_view text) {
    for (const char c : text) {
        if (Base64Value(c) < 0) {
            return false;
        }
    }
    return true;
}

// An argument is one or more visible ASCII characters.
bool IsArgument(std::string_view text) {
    if (text.empty()) {
        return false;
    }
    for (const char c : text) {
        if (c < 0x21 || c > 0x7E) {
            return false;
        }
    }
    return true;
}

}  // namespace

void ThrowHeaderFailure() {
    throw AgeError(Failure::Header, errors::kAgeHeaderDamaged, errors::kAgeHeaderDamagedText);
}

std::string EncodeBase64(const std::uint8_t* data, std::size_t size) {
    std::string text;
    text.reserve((size * 4 + 2) / 3);
    std::size_t i = 0;
    for (; i + 3 <= size; i += 3) {
        const std::uint32_t v =
            (std::uint32_t{data[i]} << 16) | (std::uint32_t{data[i + 1]} << 8) | data[i + 2];
        text += kAlphabet[(v >> 18) & 63];
        text += kAlphabet[(v >> 12) & 63];
        text += kAlphabet[(v >> 6) & 63];
        text += kAlphabet[v & 63];
    }
    if (size - i == 1) {
        const std::uint32_t v = std::uint32_t{data[i]} << 16;
        text += kAlphabet[(v >> 18) & 63];
        text += kAlphabet[(v >> 12) & 63];
    } else if (size - i == 2) {
        const std::uint32_t v = (std::uint32_t{data[i]} << 16) | (std::uint32_t{data[i + 1]} << 8);
        text += kAlphabet[(v >> 18) & 63];
        text += kAlphabet[(v >> 12) & 63];
        text += kAlphabet[(v >> 6) & 63];
    }
    return text;
}

std::optional<std::vector<std::uint8_t>> DecodeBase64(std::string_view text) {
    if (text.size() % 4 == 1) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> out;
    out.reserve(text.size() * 3 / 4);
    std::uint32_t bits = 0;
    int count = 0;
    for (const char c : text) {
        const int value = Base64Value(c);
        if (value < 0) {
            return std::nullopt;
        }
        bits = (bits << 6) | static_cast<std::uint32_t>(value);
        count += 6;
        if (count >= 8) {
            count -= 8;
            out.push_back(static_cast<std::uint8_t>(bits >> count));
            bits &= (1U << count) - 1;
        }
    }
    // Canonical: the bits left over carry nothing.
    if (bits != 0) {
        return std::nullopt;
    }
    return out;
}

std::string SerializeHeader(const std::vector<Stanza>& stanzas, const Key32& macKey) {
    std::string header(kVersionLine);
    for (const Stanza& stanza : stanzas) {
        header += "->";
        for (const std::string& argument : stanza.arguments) {
            header += ' ';
            header += argument;
        }
        header += '\n';
        const std::string body = EncodeBase64(stanza.body.data(), stanza.body.size());
        // Full lines of 64 columns, then a shorter one, empty if need be.
        std::size_t at = 0;
        while (body.size() - at >= kColumns) {
            header.append(body, at, kColumns);
            header += '\n';
            at += kColumns;
        }
        header.append(body, at);
        header += '\n';
    }
    header += kMacStart;
    const Key32 mac =
        HmacSha256(macKey, reinterpret_cast<const std::uint8_t*>(header.data()), header.size());
    header += ' ';
    header += EncodeBase64(mac.data(), mac.size());
    header += '\n';
    return header;
}

void HeaderParser::Feed(std::string_view line) {
    if (done_ || line.empty() || line.back() != '\n') {
        ThrowHeaderFailure();
    }
    const std::string_view text = line.substr(0, line.size() - 1);
    switch (state_) {
    case State::Version:
        if (line != kVersionLine) {
            if (line.substr(0, kMagic.size()) == kMagic) {
                throw AgeError(Failure::Header, errors::kAgeVersionUnknown,
                               errors::kAgeVersionUnknownText);
            }
            ThrowHeaderFailure();
        }
        header_.macInput.append(line);
        state_ = State::Stanzas;
        return;
    case State::Body:
        if (text.size() > kColumns || !IsBase64Text(text)) {
            ThrowHeaderFailure();
        }
        header_.macInput.append(line);
        bodyText_.append(text);
        if (text.size() < kColumns) {
            FinishBody();
        }
        return;
    case State::Stanzas:
        break;
    }
    if (text.substr(0, kStanzaStart.size()) == kStanzaStart) {
        Stanza stanza;
        std::string_view rest = text.substr(kStanzaStart.size());
        while (true) {
            const auto space = rest.find(' ');
            const std::string_view argument = rest.substr(0, space);
            if (!IsArgument(argument)) {
                ThrowHeaderFailure();
            }
            stanza.arguments.emplace_back(argument);
            if (space == std::string_view::npos) {
                break;
            }
            rest = rest.substr(space + 1);
        }
        header_.stanzas.push_back(std::move(stanza));
        header_.macInput.append(line);
        state_ = State::Body;
        return;
    }
    if (text.substr(0, kMacStart.size()) == kMacStart) {
        // "--- " and 43 characters of base64: the 32-byte MAC.
        if (header_.stanzas.empty() || text.size() != 4 + 43 || text[3] != ' ') {
            ThrowHeaderFailure();
        }
        const auto mac = DecodeBase64(text.substr(4));
        if (!mac || mac->size() != header_.mac.size()) {
            ThrowHeaderFailure();
        }
        std::copy(mac->begin(), mac->end(), header_.mac.begin());
        header_.macInput.append(kMacStart);
        done_ = true;
        return;
    }
    ThrowHeaderFailure();
}

void HeaderParser::FinishBody() {
    auto body = DecodeBase64(bodyText_);
    if (!body) {
        ThrowHeaderFailure();
    }
    header_.stanzas.back().body = std::move(*body);
    bodyText_.clear();
    state_ = State::Stanzas;
}

namespace {

constexpr std::string_view kBech32Charset = "qpzry9x8gf2tvdw0s3jn54khce6mua7l";

std::uint32_t Bech32Polymod(const std::vector<std::uint8_t>& values) {
    constexpr std::array<std::uint32_t, 5> kGenerator = {0x3b6a57b2, 0x26508e6d, 0x1ea119fa,
                                                         0x3d4233dd, 0x2a1462b3};
    std::uint32_t checksum = 1;
    for (const std::uint8_t value : values) {
        const std::uint32_t top = checksum >> 25;
        checksum = ((checksum & 0x1ffffff) << 5) ^ value;
        for (std::size_t i = 0; i < kGenerator.size(); ++i) {
            if (((top >> i) & 1) != 0) {
                checksum ^= kGenerator[i];
            }
        }
    }
    return checksum;
}

}  // namespace

std::optional<Key32> DecodeX25519Identity(std::string_view text) {
    bool lower = false;
    bool upper = false;
    std::string folded;
    for (const char c : text) {
        if (c < 0x21 || c > 0x7E) {
            return std::nullopt;
        }
        lower = lower || (c >= 'a' && c <= 'z');
        upper = upper || (c >= 'A' && c <= 'Z');
        folded += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    const auto separator = folded.rfind('1');
    if ((lower && upper) || separator == std::string::npos ||
        folded.substr(0, separator) != "age-secret-key-" || folded.size() - separator < 7) {
        return std::nullopt;
    }
    const std::string hrp = folded.substr(0, separator);
    std::vector<std::uint8_t> values;
    for (const char c : hrp) {
        values.push_back(static_cast<std::uint8_t>(c >> 5));
    }
    values.push_back(0);
    for (const char c : hrp) {
        values.push_back(static_cast<std::uint8_t>(c & 31));
    }
    std::vector<std::uint8_t> data;
    for (std::size_t i = separator + 1; i < folded.size(); ++i) {
        const auto value = kBech32Charset.find(folded[i]);
        if (value == std::string_view::npos) {
            return std::nullopt;
        }
        data.push_back(static_cast<std::uint8_t>(value));
    }
    values.insert(values.end(), data.begin(), data.end());
    if (Bech32Polymod(values) != 1) {
        return std::nullopt;
    }
    // The last six characters are the checksum.
    const std::size_t dataSize = data.size() - 6;
    // Five bits a character into bytes; what is left over must be zero padding.
    std::vector<std::uint8_t> bytes;
    std::uint32_t bits = 0;
    int count = 0;
    for (std::size_t i = 0; i < dataSize; ++i) {
        bits = (bits << 5) | data[i];
        count += 5;
        if (count >= 8) {
            count -= 8;
            bytes.push_back(static_cast<std::uint8_t>(bits >> count));
            bits &= (1U << count) - 1;
        }
    }
    Key32 key{};
    if (count >= 5 || bits != 0 || bytes.size() != key.size()) {
        return std::nullopt;
    }
    std::copy(bytes.begin(), bytes.end(), key.begin());
    return key;
}

}  // namespace orvelle::veilor64::age
