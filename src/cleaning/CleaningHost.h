#pragma once

#include <string>

namespace orvelle::cleaning {

// The main window as the cleaning run sees it.
class ICleaningHost {
public:
    virtual ~ICleaningHost() = default;

    // True while the Schedule page holds edits not yet applied or cancelled
    // (its Apply or Cancel button is enabled).
    [[nodiscard]] virtual bool IsSchedulePending() const = 0;
    // Window state normal, the Main page (the one with the log) selected, the window
    // shown, window state normal again: a hidden window comes up.
    virtual void ShowMainPage() = 0;
    // Switches the schedule timer tmrSchedule on or off.
    virtual void SetScheduleTimerEnabled(bool enabled) = 0;
    // Switches tmrMakeScehduleEnable (the one-shot re-arm of the schedule) on or off.
    virtual void SetScheduleEnableTimerEnabled(bool enabled) = 0;
    // The caption of lblLastRunTime.
    virtual void SetLastRunTime(const std::string& text) = 0;
    // The caption of the status line lblStatus.
    virtual void SetStatus(const std::string& text) = 0;
};

}  // namespace orvelle::cleaning
