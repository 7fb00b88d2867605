#include "Progress.h"

#include <cmath>

namespace orvelle::veilor64 {

ProgressPoint MakeProgressPoint(std::uint64_t position, std::uint64_t total) {
    ProgressPoint point;
    point.position = position;
    point.total = total;
    const double ratio = static_cast<double>(position) / static_cast<double>(total);
    point.percent = static_cast<std::int32_t>(std::floor(ratio * 100.0));
    return point;
}

std::string ProgressCaption(const ProgressPoint& point) {
    return std::to_string(point.percent) + "% Complete - (" +
           std::to_string(point.position / 1024) + "KB / " + std::to_string(point.total / 1024) +
           "KB )";
}

}  // namespace orvelle::veilor64
