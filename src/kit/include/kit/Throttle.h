#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <utility>

namespace orvelle::kit {

// Lets an action through at most once per interval. Yielding to the event loop and
// repainting cost far more than a step of the work, so visible updates are limited by
// time while every step is still counted. The first action passes unless Restart
// started an interval before it.
class Throttle {
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    using Clock = std::function<TimePoint()>;
    // How often long work gives the user interface its turn.
    static constexpr std::chrono::milliseconds kUiInterval{15};

    explicit Throttle(std::chrono::steady_clock::duration interval = kUiInterval,
                      Clock clock = &std::chrono::steady_clock::now)
        : interval_(interval), clock_(std::move(clock)) {}

    // Starts a new interval now, as if an action had just happened.
    void Restart() { last_ = clock_(); }
    // True (and a new interval starts) when the interval since the last action has
    // passed.
    [[nodiscard]] bool Due() {
        const TimePoint now = clock_();
        if (last_ && now - *last_ < interval_) {
            return false;
        }
        last_ = now;
        return true;
    }

private:
    std::chrono::steady_clock::duration interval_;
    Clock clock_;
    std::optional<TimePoint> last_;
};

}  // namespace orvelle::kit
