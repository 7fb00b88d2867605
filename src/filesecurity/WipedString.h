#pragma once

#include <string>

namespace orvelle::filesecurity {

// A passphrase held for one job: its bytes are overwritten when it goes out of scope.
class WipedString {
public:
    explicit WipedString(std::string text) : text_(std::move(text)) {}
    ~WipedString() {
        // Through a volatile pointer, so that the stores are not optimised away.
        volatile char* bytes = text_.data();
        for (std::size_t i = 0; i < text_.size(); ++i) {
            bytes[i] = '\0';
        }
    }
    WipedString(const WipedString&) = delete;
    WipedString& operator=(const WipedString&) = delete;

    [[nodiscard]] const std::string& str() const noexcept { return text_; }

private:
    std::string text_;
};

}  // namespace orvelle::filesecurity
