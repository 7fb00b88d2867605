#pragma once

#include <cstdlib>

namespace orvelle::fuzz {

// A property every input must keep; libFuzzer saves the input that breaks it.
inline void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace orvelle::fuzz
