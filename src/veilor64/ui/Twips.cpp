#include "Twips.h"

#include <cmath>

namespace orvelle::veilor64 {

int TwipsToPixels(int twips, double dotsPerInch) {
    return static_cast<int>(std::lround(twips * dotsPerInch / kTwipsPerInch));
}

}  // namespace orvelle::veilor64
