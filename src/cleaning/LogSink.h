#pragma once

#include <cstdint>
#include <string>

namespace orvelle::cleaning {

// A colour of the cleaning log, as red, green, blue.
struct LogColour {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;

    friend bool operator==(const LogColour&, const LogColour&) = default;
};

inline constexpr LogColour kLogBlue{0, 0, 255};
inline constexpr LogColour kLogGreen{0, 128, 0};
inline constexpr LogColour kLogRed{255, 0, 0};
inline constexpr LogColour kLogBlack{0, 0, 0};

// The rich-text box that shows the cleaning log (rtfMessage), as the cleaning logic
// sees it. Texts are UTF-8 with CR LF ("\r\n") between lines.
class ILogSink {
public:
    virtual ~ILogSink() = default;

    // Empties the whole log; the caret goes to its start.
    virtual void Clear() = 0;
    // The colour of text inserted from now on.
    virtual void SetColour(LogColour colour) = 0;
    // The text selected now (empty when only the caret stands somewhere).
    [[nodiscard]] virtual std::string SelectedText() const = 0;
    // Replaces the selection with `text` in the current colour; the caret follows it.
    virtual void InsertAtCaret(const std::string& text) = 0;
    // Paints the log now, so that it shows what was inserted.
    virtual void Repaint() = 0;
};

}  // namespace orvelle::cleaning
