#pragma once

#include "desktop/MessageBox.h"
#include "os/Clock.h"
#include "store/SettingsStore.h"

namespace orvelle::schedule {

// What the schedule works with: where it is stored, the clock it is due by, and the
// box that reports a store it cannot read.
struct ScheduleServices {
    store::ISettingsStore& settings;
    desktop::IMessageBox& messageBox;
    const os::IClock& clock;
};

}  // namespace orvelle::schedule
