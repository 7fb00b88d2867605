#pragma once

#include "platform/Clock.h"
#include "platform/MessageBox.h"
#include "platform/SettingsStore.h"

namespace orvelle::schedule {

// What the schedule works with: where it is stored, the clock it is due by, and the
// box that reports a store it cannot read.
struct ScheduleServices {
    platform::ISettingsStore& settings;
    platform::IMessageBox& messageBox;
    const platform::IClock& clock;
};

}  // namespace orvelle::schedule
