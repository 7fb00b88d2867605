#pragma once

#include "FuzzRequire.h"
#include "Progress.h"

#include <cstdint>

namespace orvelle::fuzz {

// Counts what the cipher shows of its progress, and requires the window shown
// once and every point on a step of the bar, within the total.
class CountingProgress final : public veilor64::IProgressSink {
public:
    void Show() override { ++shows; }
    void Point(const veilor64::ProgressPoint& point) override {
        Require(shows == 1 && point.position % veilor64::kProgressStep == 0 &&
                point.position <= point.total);
        Require(point.percent >= 0 && point.percent <= 100);
        ++points;
    }
    void Close() noexcept override { ++closes; }
    int shows = 0;
    int closes = 0;
    std::uint64_t points = 0;
};

}  // namespace orvelle::fuzz
