#pragma once

#include <cstdint>
#include <string>

namespace orvelle::store {

// The profile API's buffer rule, kept by the real file and its fake alike: the value
// cut to fit a buffer of `bufferSize` bytes with its terminator; the length copied.
inline std::uint32_t FitProfileBuffer(std::string value, std::uint32_t bufferSize,
                                      std::string& text) {
    if (bufferSize == 0) {
        text.clear();
        return 0;
    }
    if (value.size() > bufferSize - 1) {
        value.resize(bufferSize - 1);
    }
    text = value;
    return static_cast<std::uint32_t>(text.size());
}

}  // namespace orvelle::store
