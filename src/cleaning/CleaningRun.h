#pragma once

#include "CleaningHost.h"
#include "CleaningLog.h"
#include "CleaningOptions.h"
#include "StepOperations.h"
#include "desktop/MessageBox.h"
#include "os/CleaningLock.h"
#include "os/Clock.h"
#include "os/EventPump.h"

#include <string>

namespace orvelle::cleaning {

// The cleaning run: one pass over the sixteen options in index order, doing the step
// of every checked one (value 1; unchecked and grayed are skipped) while the log and
// the status line show the progress. Every way of cleaning comes through here: the
// three buttons and the schedule.
class CleaningRun {
public:
    CleaningRun(const CleaningOptions& options, IStepOperations& steps, ICleaningHost& host,
                CleaningLog& log, const os::IClock& clock, os::IEventPump& eventPump,
                desktop::IMessageBox& messageBox, os::ICleaningLock& lock)
        : options_(options),
          steps_(steps),
          host_(host),
          log_(log),
          clock_(clock),
          eventPump_(eventPump),
          messageBox_(messageBox),
          lock_(lock) {}

    // The run. Refused (nothing written, shown or switched) while the Schedule page
    // has unapplied edits; ignored while a run is already going on (a click during
    // a run's yield must not start a second run on top of it). An error of the run's
    // own statements (the clipboard) ends it with the error box: no "Done", and the
    // schedule timers stay off. While another program of this user cleans (the
    // cleaning lock is held elsewhere) the run is refused too, and the status line
    // names who holds the lock.
    void cmdBasicClean_Click();

    [[nodiscard]] bool IsRunning() const noexcept { return running_; }
    // Whether the last request was refused because another process held the lock;
    // a scheduled run then waits for it.
    [[nodiscard]] bool RefusedByLock() const noexcept { return refusedByLock_; }

    // The status line after a run whose log holds `redEntries` red entries: "Ready"
    // when there are none, else how many problems there were.
    [[nodiscard]] static std::string FinalStatus(int redEntries);

    // The message the run hands to the step of option `index` ("" when none).
    [[nodiscard]] static std::string StepMessage(int index);

private:
    void PerformStep(int index);

    const CleaningOptions& options_;
    IStepOperations& steps_;
    ICleaningHost& host_;
    CleaningLog& log_;
    const os::IClock& clock_;
    os::IEventPump& eventPump_;
    desktop::IMessageBox& messageBox_;
    os::ICleaningLock& lock_;
    bool running_ = false;
    bool refusedByLock_ = false;
};

}  // namespace orvelle::cleaning
