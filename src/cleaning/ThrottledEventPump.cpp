#include "ThrottledEventPump.h"

namespace orvelle::cleaning {

ThrottledEventPump::ThrottledEventPump(os::IEventPump& inner, ILogSink& log,
                                       std::function<Clock::time_point()> now,
                                       Clock::duration interval)
    : inner_(inner), log_(log), now_(std::move(now)), interval_(interval) {
}

void ThrottledEventPump::DoEvents() {
    ++calls_;
    const Clock::time_point now = now_();
    if (started_ && now - last_ < interval_) {
        return;
    }
    started_ = true;
    last_ = now;
    ++passed_;
    log_.Repaint();
    inner_.DoEvents();
}

}  // namespace orvelle::cleaning
