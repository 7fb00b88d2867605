#pragma once

#include "LogSink.h"
#include "kit/Throttle.h"
#include "os/EventPump.h"

#include <chrono>
#include <functional>

namespace orvelle::cleaning {

// The folder walk's yield point. Every deleted file calls DoEvents, but the log is
// repainted and the user interface's events processed at most once per interval
// (~15 ms): a real yield costs far more than deleting an empty file.
class ThrottledEventPump final : public os::IEventPump {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kInterval = kit::Throttle::kUiInterval;

    ThrottledEventPump(os::IEventPump& inner, ILogSink& log,
                       std::function<Clock::time_point()> now = &Clock::now,
                       Clock::duration interval = kInterval);

    void DoEvents() override;

    // Yield points seen, and how many of them reached the user interface.
    [[nodiscard]] long Calls() const noexcept { return calls_; }
    [[nodiscard]] long Passed() const noexcept { return passed_; }

private:
    os::IEventPump& inner_;
    ILogSink& log_;
    kit::Throttle throttle_;
    long calls_ = 0;
    long passed_ = 0;
};

}  // namespace orvelle::cleaning
