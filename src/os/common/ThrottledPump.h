#pragma once

#include "os/EventPump.h"

#include <chrono>

namespace orvelle::os {

// Gives the user interface its turn from inside long work, at most once per
// interval: a turn costs far more than a step of the work, so calling Tick at every
// step keeps the window responsive without slowing the work down.
class ThrottledPump {
public:
    explicit ThrottledPump(IEventPump& pump,
                           std::chrono::milliseconds interval = std::chrono::milliseconds(15))
        : pump_(pump), interval_(interval), last_(std::chrono::steady_clock::now()) {}

    void Tick() {
        const auto now = std::chrono::steady_clock::now();
        if (now - last_ >= interval_) {
            pump_.DoEvents();
            last_ = std::chrono::steady_clock::now();
        }
    }

private:
    IEventPump& pump_;
    std::chrono::milliseconds interval_;
    std::chrono::steady_clock::time_point last_;
};

}  // namespace orvelle::os
