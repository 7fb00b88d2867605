#include "ThrottledEventPump.h"

namespace orvelle::cleaning {

ThrottledEventPump::ThrottledEventPump(os::IEventPump& inner, ILogSink& log,
                                       std::function<Clock::time_point()> now,
                                       Clock::duration interval)
    : inner_(inner), log_(log), throttle_(interval, std::move(now)) {
}

void ThrottledEventPump::DoEvents() {
    ++calls_;
    if (!throttle_.Due()) {
        return;
    }
    ++passed_;
    log_.Repaint();
    inner_.DoEvents();
}

}  // namespace orvelle::cleaning
