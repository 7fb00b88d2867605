#pragma once

#include "AgeCrypto.h"
#include "os/RuntimeError.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The text parts of an age v1 file: canonical unpadded base64, the header with
// its recipient stanzas and MAC line, and Bech32 secret keys.
namespace orvelle::veilor64::age {

inline constexpr std::string_view kVersionLine = "age-encryption.org/v1\n";
// Every age file, of any version, starts with this.
inline constexpr std::string_view kMagic = "age-encryption.org/";
// Longest header read before the file is refused: thousands of recipients.
inline constexpr std::size_t kMaxHeaderSize = std::size_t{1} << 20;
inline constexpr std::size_t kMaxLineSize = std::size_t{64} * 1024;

// How an age file fails, in the classes its test vectors name.
enum class Failure { Armor, Header, Hmac, NoMatch, Payload };

// A failure of an age file: a number and text for the user, and its class.
class AgeError : public os::RuntimeError {
public:
    AgeError(Failure failure, std::int32_t number, const std::string& description)
        : RuntimeError(number, description), failure_(failure) {}
    [[nodiscard]] Failure Kind() const noexcept { return failure_; }

private:
    Failure failure_;
};

// The header failure with its usual text.
[[noreturn]] void ThrowHeaderFailure();

// Standard base64 without padding, canonical (unused bits zero).
[[nodiscard]] std::string EncodeBase64(const std::uint8_t* data, std::size_t size);
// nullopt for any character outside the alphabet, padding, an impossible length
// or unused bits that are not zero.
[[nodiscard]] std::optional<std::vector<std::uint8_t>> DecodeBase64(std::string_view text);

struct Stanza {
    std::vector<std::string> arguments;  // the first is the type
    std::vector<std::uint8_t> body;
};

struct Header {
    std::vector<Stanza> stanzas;
    Key32 mac{};
    // The header's bytes from its first up to and including "---": what the MAC covers.
    std::string macInput;
};

// The header as written: version line, stanzas with bodies wrapped at 64
// columns, "---", then the MAC of everything up to there under `macKey`.
[[nodiscard]] std::string SerializeHeader(const std::vector<Stanza>& stanzas, const Key32& macKey);

// Parses a header line by line. Feed each line with its line feed; Done() once
// the MAC line was read. Throws AgeError (Header) at the first fault.
class HeaderParser {
public:
    // Takes one line, ending in "\n".
    void Feed(std::string_view line);
    [[nodiscard]] bool Done() const noexcept { return done_; }
    [[nodiscard]] Header& Result() noexcept { return header_; }

private:
    enum class State { Version, Stanzas, Body };
    void FinishBody();

    State state_ = State::Version;
    Header header_;
    std::string bodyText_;
    bool done_ = false;
};

// The 32-byte secret of an "AGE-SECRET-KEY-1..." identity; nullopt when the text
// is not one (wrong prefix, mixed case, bad checksum or length).
[[nodiscard]] std::optional<Key32> DecodeX25519Identity(std::string_view text);

}  // namespace orvelle::veilor64::age
