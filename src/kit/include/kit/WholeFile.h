#pragma once

#include <fstream>
#include <sstream>
#include <string>

namespace orvelle::kit {

// A whole file's bytes; "" when it cannot be read (callers treat a missing file and
// an empty one alike).
[[nodiscard]] inline std::string ReadText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

}  // namespace orvelle::kit
