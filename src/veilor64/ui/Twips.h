#pragma once

namespace orvelle::veilor64 {

// The platform's form designer measures in twips: 1440 to the inch.
inline constexpr int kTwipsPerInch = 1440;

// Pixels for a length in twips at `dotsPerInch`, rounded to the nearest pixel.
[[nodiscard]] int TwipsToPixels(int twips, double dotsPerInch);

}  // namespace orvelle::veilor64
