#pragma once

#include "DueTest.h"
#include "ScheduleEditor.h"
#include "desktop/MessageBox.h"
#include "os/Clock.h"
#include "store/SettingsStore.h"

#include <functional>
#include <string>

namespace orvelle::schedule {

// A timer as the logic sees it: switched on and off.
class ITimerSwitch {
public:
    virtual ~ITimerSwitch() = default;

    [[nodiscard]] virtual bool Enabled() const = 0;
    virtual void SetEnabled(bool enabled) = 0;
};

// The two timers' handlers: the due test on every tick of `tmrSchedule`, and the
// one-shot re-arm after a run that records the last run and switches the test back on.
class ScheduleTimers {
public:
    ScheduleTimers(ScheduleEditor& editor, store::ISettingsStore& settings,
                   desktop::IMessageBox& messageBox, const os::IClock& clock,
                   ITimerSwitch& tmrSchedule, ITimerSwitch& tmrMakeScehduleEnable,
                   std::function<bool()> runClean);

    // Tests the page's schedule against the clock; when due starts the cleaning run
    // once for this tick. A run that another clean keeps out (`runClean` returns false)
    // is tried again on every tick until it starts. A damaged last-run text is
    // reported once, not on every tick.
    void tmrSchedule_Timer();
    // Saves the last-run label, switches the due test back on and itself off.
    void tmrMakeScehduleEnable_Timer();
    // Saves the last-run label: at the end of every run, so that an exit right after
    // it keeps the time.
    void SaveLastRunTime();
    [[nodiscard]] bool IsWaitingForLock() const noexcept { return waitingForLock_; }

private:
    ScheduleEditor& editor_;
    store::ISettingsStore& settings_;
    desktop::IMessageBox& messageBox_;
    const os::IClock& clock_;
    ITimerSwitch& tmrSchedule_;
    ITimerSwitch& tmrMakeScehduleEnable_;
    std::function<bool()> runClean_;
    bool waitingForLock_ = false;
    std::string reportedDamagedText_;
    bool damagedReported_ = false;
};

}  // namespace orvelle::schedule
