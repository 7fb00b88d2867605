#pragma once

#include <chrono>
#include <functional>

namespace orvelle::veilor64 {

// Lets an action through at most once per interval. Yielding to the event loop
// and repainting cost far more than a progress point, so visible updates are
// limited by time while every point is still counted.
class Throttle {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    explicit Throttle(std::chrono::steady_clock::duration interval,
                      Clock clock = &std::chrono::steady_clock::now)
        : interval_(interval), clock_(std::move(clock)) {}

    // Starts a new interval now, as if an action had just happened.
    void Restart() { last_ = clock_(); }
    // True (and a new interval starts) when the interval since the last action
    // has passed.
    [[nodiscard]] bool Due() {
        const auto now = clock_();
        if (now - last_ < interval_) {
            return false;
        }
        last_ = now;
        return true;
    }

private:
    std::chrono::steady_clock::duration interval_;
    Clock clock_;
    std::chrono::steady_clock::time_point last_{};
};

}  // namespace orvelle::veilor64
