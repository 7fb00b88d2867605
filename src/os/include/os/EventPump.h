#pragma once

namespace orvelle::os {

// Lets the user interface process its pending events from inside long work.
class IEventPump {
public:
    virtual ~IEventPump() = default;

    // Processes pending events once (the work's fixed yield point).
    virtual void DoEvents() = 0;
};

}  // namespace orvelle::os
