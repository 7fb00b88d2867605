#include "WipedString.h"

#include <string.h>

namespace orvelle::veilor64 {

void WipeMemory(void* data, std::size_t size) noexcept {
    if (data != nullptr && size != 0) {
        ::explicit_bzero(data, size);
    }
}

void WipeString(std::string& text) noexcept {
    // The whole capacity: a shorter text may have been stored over a longer one.
    WipeMemory(text.data(), text.capacity());
    text.clear();
}

}  // namespace orvelle::veilor64
