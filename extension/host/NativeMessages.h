#pragma once

// The messages between the browser extension, the native host and the program:
// each is a 4-byte length in the machine's byte order followed by that many bytes
// of UTF-8 JSON, an object whose "type" names one of a few known shapes.

#include <nlohmann/json.hpp>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

namespace orvelle::nativehost {

// The browsers refuse (and disconnect) a message from the host above 1 MiB.
inline constexpr std::size_t kMaxToBrowser = std::size_t{1024} * 1024;
// Tab lists from the browser stay far below this; a larger length means a broken stream.
inline constexpr std::size_t kMaxFromBrowser = std::size_t{8} * 1024 * 1024;
// A text field (title, address, browser name) longer than this is refused.
inline constexpr std::size_t kMaxText = std::size_t{64} * 1024;
// A tab list longer than this is refused.
inline constexpr std::size_t kMaxTabs = 20000;

// Cuts a byte stream into messages. A length above the limit breaks the stream:
// nothing after it can be trusted to start a message.
class FrameReader {
public:
    explicit FrameReader(std::size_t maxMessage) : maxMessage_(maxMessage) {}

    // Adds bytes read from the stream; complete messages become available to Next().
    void Feed(std::string_view bytes);
    // The next complete message's body, or nullopt.
    [[nodiscard]] std::optional<std::string> Next();
    [[nodiscard]] bool Broken() const noexcept { return broken_; }

private:
    void Cut();

    std::size_t maxMessage_;
    std::string buffer_;
    std::deque<std::string> ready_;
    bool broken_ = false;
};

// The 4-byte length and the body; nullopt for a body above `maxMessage`.
[[nodiscard]] std::optional<std::string> EncodeFrame(std::string_view body,
                                                     std::size_t maxMessage = kMaxToBrowser);

// Who sent a message: each side has its own set of shapes.
enum class Sender : std::uint8_t { Browser, Program };

// The parsed message when the body is UTF-8 JSON of a known shape from that sender
// (every field of the right type and size, nothing nested deeper than a tab list);
// nullopt otherwise.
[[nodiscard]] std::optional<nlohmann::json> ParseMessage(std::string_view body, Sender sender);

// The per-user folder of the program's socket, under $XDG_RUNTIME_DIR; "" when the
// runtime folder is not set or not absolute (no safe place then).
[[nodiscard]] std::string SocketFolder();
// The socket the program listens on and the host connects to.
[[nodiscard]] std::string SocketPath();

}  // namespace orvelle::nativehost
