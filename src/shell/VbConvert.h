#pragma once

#include <cstdint>
#include <string>

namespace orvelle::shell {

// Text to number the way the program's run-time converts it (CInt, CLng): blanks
// around the number are ignored, a fraction rounds half to even, "&H"/"&O" give hex
// and octal. Text that is no number throws RuntimeError 13 ("Type mismatch"), a
// number out of range throws RuntimeError 6 ("Overflow").
std::int16_t ToInt16(const std::string& text);
std::int32_t ToInt32(const std::string& text);

// Parses like ToInt32 without throwing; false for text that is no number or overflows.
bool TryToInt32(const std::string& text, std::int32_t& value);

}  // namespace orvelle::shell
