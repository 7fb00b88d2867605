#pragma once

#include "Events.h"
#include "PopupKillerState.h"
#include "desktop/KeyState.h"
#include "desktop/Sound.h"
#include "os/ProcessInfo.h"

namespace orvelle::popup {

// What every window monitor shares: the services it calls, the popup killer's
// state it reads, the relay, and the forward-probe flag of all monitors.
struct MonitorContext {
    desktop::IKeyState& keys;
    desktop::ISound& sound;
    const os::IProcessInfo& process;
    PopupKillerState& popupKiller;
    Events& events;
    // Set by a forward probe the browser accepted; the next navigation or document
    // context menu of any monitor consumes it.
    bool ForwardProbePending = false;
};

}  // namespace orvelle::popup
