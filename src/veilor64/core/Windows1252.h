#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace orvelle::veilor64 {

// The single-byte code page the format's passphrases come from. Each character
// becomes one byte; a character the code page lacks becomes "?", and so does a
// byte that is not valid UTF-8, so that a passphrase always yields exactly
// CharacterCount() bytes. The five codes the code page leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the control characters of the same
// number, as the platform's own conversion does, so the mapping is one-to-one.
[[nodiscard]] std::string ToWindows1252(std::string_view utf8);

// The first character of the text that the code page cannot hold, as UTF-8 (a
// byte that is not valid UTF-8 comes back as that one byte), or "" when every
// character has its code.
[[nodiscard]] std::string FirstCharacterOutsideWindows1252(std::string_view utf8);

// The reverse mapping: every byte becomes one character, written as UTF-8.
[[nodiscard]] std::string FromWindows1252(std::string_view bytes);

// The number of characters of UTF-8 text; each invalid byte counts as one.
[[nodiscard]] std::size_t CharacterCount(std::string_view utf8);

}  // namespace orvelle::veilor64
