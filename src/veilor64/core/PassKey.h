#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace orvelle::veilor64 {

inline constexpr std::size_t kKeyLength = 8;
inline constexpr char kPadCharacter = '-';

// Pads the passphrase in place with "-" to 8 characters (a longer one is left
// as it is) and returns the check header as text, one character per header
// byte: byte k is the code of character k XOR the code of character 9 - k,
// codes taken in the single-byte code page. The header mirrors itself.
std::string PassPhraseHeader(std::string& passPhrase);

// Refuses, with error 64103 naming the character, a passphrase that holds a
// character outside Windows-1252: the format would keep it as "?", so that
// "日本", "中文" and "??" would all open the same file. Applied before a ".kdf"
// file is written; files made under the old rule still decrypt.
void CheckKdfPassPhrase(std::string_view passPhrase);

// The message of error 64103 for the character `character`.
[[nodiscard]] std::string PassPhraseCharacterText(const std::string& character);

// The key stream's eight bytes and the check header of one passphrase of one
// to eight characters; both are wiped when the key leaves scope.
class PassKey {
public:
    explicit PassKey(std::string_view passPhrase);
    PassKey(const PassKey&) = delete;
    PassKey& operator=(const PassKey&) = delete;
    ~PassKey();

    // p1 ... p8: the padded passphrase in the single-byte code page.
    [[nodiscard]] const std::array<std::uint8_t, kKeyLength>& Bytes() const noexcept {
        return bytes_;
    }
    // The 8 bytes every encrypted file starts with.
    [[nodiscard]] const std::array<std::uint8_t, kKeyLength>& Header() const noexcept {
        return header_;
    }

private:
    std::array<std::uint8_t, kKeyLength> bytes_{};
    std::array<std::uint8_t, kKeyLength> header_{};
};

// XORs `size` bytes with the key stream, the first of them with key byte number
// `phase` (0 ... 7) and each following byte with the next, after p8 back to p1.
void XorKeyStream(std::uint8_t* data, std::size_t size,
                  const std::array<std::uint8_t, kKeyLength>& key, std::size_t phase) noexcept;

}  // namespace orvelle::veilor64
