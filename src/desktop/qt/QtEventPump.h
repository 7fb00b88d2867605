#pragma once

#include "os/EventPump.h"

#include <functional>

namespace orvelle::desktop::qt {

// Processes the Qt event queue once. Once the program has decided to end, the next
// yield point ends the process: long work (a cleaning run) calls DoEvents between two
// whole steps (after a file is deleted, never during), and its event loop, nested in
// the handler that started the work, could not end it before the work were done.
class QtEventPump final : public os::IEventPump {
public:
    // `end` ends the process; by default it flushes the standard streams and exits.
    explicit QtEventPump(std::function<void(int)> end = {});

    void DoEvents() override;

    // From now on every yield point ends the process with `exitCode`.
    void EndAtNextYield(int exitCode);
    [[nodiscard]] bool Ending() const noexcept { return ending_; }

private:
    std::function<void(int)> end_;
    bool ending_ = false;
    int exitCode_ = 0;
};

}  // namespace orvelle::desktop::qt
