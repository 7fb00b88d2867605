#pragma once

#include "CipherFiles.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace orvelle::veilor64::age {

inline constexpr std::string_view kArmorBegin = "-----BEGIN AGE ENCRYPTED FILE-----";
inline constexpr std::string_view kArmorEnd = "-----END AGE ENCRYPTED FILE-----";

// True when the bytes, after any blanks and line ends, start with the armor's
// first line.
[[nodiscard]] bool LooksArmored(const std::uint8_t* data, std::size_t size);

// An ASCII-armored age file ("age -a") read as the binary file it holds. The
// armor is held to strict PEM: the two marker lines, base64 lines of exactly 64
// characters but the last, padding only at the very end, canonical encoding; LF
// or CRLF line ends; blanks only before and after. Any other text throws
// AgeError (Armor) when the reading reaches it.
class ArmoredSource final : public ISourceFile {
public:
    explicit ArmoredSource(std::unique_ptr<ISourceFile> raw) : raw_(std::move(raw)) {}

    // The armored file's own length: more than the bytes it decodes to.
    [[nodiscard]] std::uint64_t Size() const override { return raw_->Size(); }
    [[nodiscard]] std::size_t Read(std::uint8_t* buffer, std::size_t size) override;

private:
    enum class State { Before, Body, LastLineRead, After };
    // The next line without its line end; false at the end of the file. A last
    // line without a line end is given with `ended` false.
    bool NextLine(std::string& line, bool& ended);
    int NextByte();
    void DecodeLine();

    std::unique_ptr<ISourceFile> raw_;
    std::uint8_t buffer_[4096] = {};
    std::size_t position_ = 0;
    std::size_t end_ = 0;
    State state_ = State::Before;
    std::uint8_t decoded_[48] = {};
    std::size_t decodedPosition_ = 0;
    std::size_t decodedEnd_ = 0;
};

}  // namespace orvelle::veilor64::age
