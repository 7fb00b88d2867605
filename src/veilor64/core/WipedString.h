#pragma once

#include <cstddef>
#include <string>

namespace orvelle::veilor64 {

// Overwrites memory with zeros in a way the optimiser may not drop, so that
// passphrases and plain text do not linger after use.
void WipeMemory(void* data, std::size_t size) noexcept;

// Zeros the string's contents and empties it.
void WipeString(std::string& text) noexcept;

// Wipes a string when it leaves scope.
class WipedString {
public:
    WipedString() = default;
    explicit WipedString(std::string text) : text_(std::move(text)) {}
    WipedString(const WipedString&) = delete;
    WipedString& operator=(const WipedString&) = delete;
    ~WipedString() { WipeString(text_); }

    [[nodiscard]] std::string& get() noexcept { return text_; }
    [[nodiscard]] const std::string& get() const noexcept { return text_; }

private:
    std::string text_;
};

}  // namespace orvelle::veilor64
