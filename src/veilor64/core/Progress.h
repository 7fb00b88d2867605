#pragma once

#include <cstdint>
#include <string>

namespace orvelle::veilor64 {

// The operations report progress at every position that is a multiple of this.
inline constexpr std::uint64_t kProgressStep = 7168;

// The progress window's caption whenever it shows no progress.
inline constexpr const char* kStatusBarCaption = "Veilor 64-bit \xC2\xB7 Version 1.0";

// One progress point: position x of total T, both counted in bytes of the
// buffer being walked (during decryption they include the 8 header bytes).
struct ProgressPoint {
    std::uint64_t position = 0;
    std::uint64_t total = 0;
    // floor(x / T * 100), computed in double precision in that order.
    std::int32_t percent = 0;
};

[[nodiscard]] ProgressPoint MakeProgressPoint(std::uint64_t position, std::uint64_t total);

// "50% Complete - (7KB / 14KB )": whole kilobytes, rounded down.
[[nodiscard]] std::string ProgressCaption(const ProgressPoint& point);

// The progress window as the operations drive it.
class IProgressSink {
public:
    virtual ~IProgressSink() = default;

    // Shows the window (modeless), creating it when needed.
    virtual void Show() = 0;
    // One progress point: let pending events run, set the caption, set the bar.
    virtual void Point(const ProgressPoint& point) = 0;
    // Restores the caption, hides the window and unloads it; also after a failure.
    virtual void Close() noexcept = 0;
};

}  // namespace orvelle::veilor64
