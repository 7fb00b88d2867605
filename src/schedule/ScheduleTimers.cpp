#include "ScheduleTimers.h"

#include "ErrorBox.h"
#include "Settings.h"
#include "Version.h"

namespace orvelle::schedule {

ScheduleTimers::ScheduleTimers(ScheduleEditor& editor, store::ISettingsStore& settings,
                               desktop::IMessageBox& messageBox, const os::IClock& clock,
                               ITimerSwitch& tmrSchedule, ITimerSwitch& tmrMakeScehduleEnable,
                               std::function<bool()> runClean)
    : editor_(editor),
      settings_(settings),
      messageBox_(messageBox),
      clock_(clock),
      tmrSchedule_(tmrSchedule),
      tmrMakeScehduleEnable_(tmrMakeScehduleEnable),
      runClean_(std::move(runClean)) {
}

void ScheduleTimers::tmrSchedule_Timer() {
    shell::RunTrapped(messageBox_, [this] {
        if (waitingForLock_) {
            // The due second has passed while another clean ran: this run still owes.
            waitingForLock_ = runClean_ && !runClean_();
            return;
        }
        const ScheduleState state = editor_.State();
        switch (IsScheduleDue(state, clock_.Now())) {
        case DueResult::Due:
            damagedReported_ = false;
            if (runClean_) {
                waitingForLock_ = !runClean_();
            }
            break;
        case DueResult::DamagedLastRun:
            if (!damagedReported_ || reportedDamagedText_ != state.lastRunTime) {
                damagedReported_ = true;
                reportedDamagedText_ = state.lastRunTime;
                throw os::RuntimeError(
                    os::errors::kTypeMismatch,
                    "Type mismatch: the last run time \"" + state.lastRunTime +
                        "\" is not a time of day (hh:mm:ss); the schedule waits for the next run");
            }
            break;
        case DueResult::NotDue:
            break;
        }
    });
}

void ScheduleTimers::SaveLastRunTime() {
    settings_.SaveSetting(shell::ApplicationTitle(), shell::settings::kSchedule,
                          shell::settings::kLastRunTime, editor_.LastRunTime());
}

void ScheduleTimers::tmrMakeScehduleEnable_Timer() {
    shell::RunTrapped(messageBox_, [this] {
        SaveLastRunTime();
        tmrSchedule_.SetEnabled(true);
        tmrMakeScehduleEnable_.SetEnabled(false);
    });
}

}  // namespace orvelle::schedule
