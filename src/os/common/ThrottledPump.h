#pragma once

#include "kit/Throttle.h"
#include "os/EventPump.h"

#include <chrono>

namespace orvelle::os {

// Gives the user interface its turn from inside long work, at most once per
// interval: a turn costs far more than a step of the work, so calling Tick at every
// step keeps the window responsive without slowing the work down.
class ThrottledPump {
public:
    explicit ThrottledPump(IEventPump& pump,
                           std::chrono::milliseconds interval = kit::Throttle::kUiInterval)
        : pump_(pump), throttle_(interval) {
        throttle_.Restart();
    }

    void Tick() {
        if (throttle_.Due()) {
            pump_.DoEvents();
            // The next interval counts from the end of the turn, not its start.
            throttle_.Restart();
        }
    }

private:
    IEventPump& pump_;
    kit::Throttle throttle_;
};

}  // namespace orvelle::os
