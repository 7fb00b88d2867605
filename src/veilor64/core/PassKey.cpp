#include "PassKey.h"

#include "Windows1252.h"
#include "WipedString.h"

#include "CipherErrors.h"
#include "os/RuntimeError.h"

#include <cstdio>
#include <cstring>

namespace orvelle::veilor64 {

std::string PassPhraseHeader(std::string& passPhrase) {
    for (std::size_t count = CharacterCount(passPhrase); count < kKeyLength; ++count) {
        passPhrase += kPadCharacter;
    }
    WipedString codes(ToWindows1252(passPhrase));
    std::string header;
    for (std::size_t k = 0; k < kKeyLength; ++k) {
        header += static_cast<char>(codes.get()[k] ^ codes.get()[kKeyLength - 1 - k]);
    }
    return FromWindows1252(header);
}

std::string PassPhraseCharacterText(const std::string& character) {
    std::string shown = character;
    if (character.size() == 1 && static_cast<unsigned char>(character[0]) >= 0x80) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(character[0]));
        shown = hex;
    }
    return "The passphrase holds \"" + shown +
           "\", which a .kdf file cannot keep: use only letters, digits and signs of "
           "Western European languages (Windows-1252).";
}

void CheckKdfPassPhrase(std::string_view passPhrase) {
    const std::string character = FirstCharacterOutsideWindows1252(passPhrase);
    if (!character.empty()) {
        throw os::RuntimeError(errors::kPassPhraseCharacter, PassPhraseCharacterText(character));
    }
}

PassKey::PassKey(std::string_view passPhrase) {
    WipedString padded{std::string(passPhrase)};
    WipedString header(PassPhraseHeader(padded.get()));
    WipedString codes(ToWindows1252(padded.get()));
    WipedString headerCodes(ToWindows1252(header.get()));
    for (std::size_t k = 0; k < kKeyLength; ++k) {
        bytes_[k] = static_cast<std::uint8_t>(codes.get()[k]);
        header_[k] = static_cast<std::uint8_t>(headerCodes.get()[k]);
    }
}

PassKey::~PassKey() {
    WipeMemory(bytes_.data(), bytes_.size());
    WipeMemory(header_.data(), header_.size());
}

void XorKeyStream(std::uint8_t* data, std::size_t size,
                  const std::array<std::uint8_t, kKeyLength>& key, std::size_t phase) noexcept {
    // The key twice over, so that eight bytes from any phase form one 64-bit word.
    std::uint8_t twice[2 * kKeyLength];
    std::memcpy(twice, key.data(), kKeyLength);
    std::memcpy(twice + kKeyLength, key.data(), kKeyLength);
    std::uint64_t word = 0;
    std::memcpy(&word, twice + phase, sizeof word);
    std::size_t i = 0;
    // Four words at a time, which the compiler turns into vector operations: twice
    // as fast as one word at a time.
    constexpr std::size_t kBlock = 4 * sizeof word;
    std::uint64_t block[4] = {};
    for (; i + kBlock <= size; i += kBlock) {
        std::memcpy(block, data + i, kBlock);
        for (auto& value : block) {
            value ^= word;
        }
        std::memcpy(data + i, block, kBlock);
    }
    for (; i + sizeof word <= size; i += sizeof word) {
        std::uint64_t value = 0;
        std::memcpy(&value, data + i, sizeof value);
        value ^= word;
        std::memcpy(data + i, &value, sizeof value);
    }
    for (; i < size; ++i) {
        data[i] ^= twice[phase + i % kKeyLength];
    }
    WipeMemory(twice, sizeof twice);
    WipeMemory(&word, sizeof word);
    WipeMemory(block, sizeof block);
}

}  // namespace orvelle::veilor64
