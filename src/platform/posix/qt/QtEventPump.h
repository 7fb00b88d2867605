#pragma once

#include "platform/EventPump.h"

namespace orvelle::platform::posix {

// Processes the Qt event queue once.
class QtEventPump final : public IEventPump {
public:
    void DoEvents() override;
};

}  // namespace orvelle::platform::posix
