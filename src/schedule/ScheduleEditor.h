#pragma once

#include "ScheduleTypes.h"
#include "desktop/MessageBox.h"
#include "os/Clock.h"
#include "store/SettingsStore.h"

#include <functional>
#include <optional>
#include <string>

namespace orvelle::schedule {

// A date or time picker with its "no value" box: it always holds a value to show,
// and `hasValue` tells whether the box is ticked.
template <typename Value>
struct Picker {
    Value value{};
    bool hasValue = false;
    bool enabled = true;

    [[nodiscard]] std::optional<Value> Get() const {
        return hasValue ? std::optional<Value>(value) : std::nullopt;
    }
};

// What the due test reads from the page.
struct ScheduleState {
    int runOn = -1;
    std::optional<Date> date;
    std::optional<TimeOfDay> time;
    std::string hoursText;
    std::string lastRunTime = kNeverRun;
};

// The Schedule page as plain data: the state of its controls and their handlers.
// The controls are the live schedule; the settings store holds the applied copy.
// While Apply or Cancel is enabled the schedule is pending.
class ScheduleEditor {
public:
    // `windowCaption` gives the title of the "Define Date"/"Define Time" notices.
    ScheduleEditor(store::ISettingsStore& settings, desktop::IMessageBox& messageBox,
                   const os::IClock& clock, std::function<std::string()> windowCaption);

    // The controls' state.
    [[nodiscard]] int RunOn() const noexcept { return runOn_; }
    [[nodiscard]] const Picker<Date>& DatePicker() const noexcept { return date_; }
    [[nodiscard]] const Picker<TimeOfDay>& TimePicker() const noexcept { return time_; }
    [[nodiscard]] const std::string& HoursText() const noexcept { return hoursText_; }
    // The hours field and its spinner are enabled together; enabled means a white background.
    [[nodiscard]] bool HoursEnabled() const noexcept { return hoursEnabled_; }
    [[nodiscard]] bool HoursBackgroundWhite() const noexcept { return hoursWhite_; }
    [[nodiscard]] const std::string& LastRunTime() const noexcept { return lastRunTime_; }
    [[nodiscard]] bool ApplyEnabled() const noexcept { return applyEnabled_; }
    [[nodiscard]] bool CancelEnabled() const noexcept { return cancelEnabled_; }
    // The pending-edit state the cleaning run refuses on.
    [[nodiscard]] bool IsPending() const noexcept { return applyEnabled_ || cancelEnabled_; }
    [[nodiscard]] ScheduleState State() const;

    // What the user does to the controls; each raises the control's event.
    void SelectRunOn(int index);  // the list: raises cmbDays_Click when the selection changes
    void UserEditsDate(std::optional<Date> date);
    void UserEditsTime(std::optional<TimeOfDay> time);
    void SetHoursText(const std::string& text);  // raises txtHours_Change when the text changes
    // The cleaning run stamps the label; nothing else reacts.
    void SetLastRunTime(const std::string& text);

    // Handlers of the page.
    void cmbDays_Click();
    void dtpScheduleDate_Change();
    void dtpScheduleTime_Change();
    void txtHours_Change();
    void cmdApply_Click();
    void cmdCancel_Click();
    void cmdDefaultSchedule_Click();

    // Reads section "Schedule" into the page. A damaged stored value is reported with
    // the error box and read as its default; the rest still loads.
    void LoadSchedule();
    // The load step's start: both pickers to now, then both emptied.
    void InitialisePickers();
    // Disables Apply and Cancel: the page equals the stored schedule.
    void ClearPending();

    // Called after every change of any control's state, for the view to follow.
    void SetChangedCallback(std::function<void()> changed) { changed_ = std::move(changed); }

private:
    void SetPending();
    void SetHours(bool enabled);
    void ApplyTimePickerRule();
    void Select(int index, bool raiseAlways);
    void Changed() const;
    [[nodiscard]] Date Today() const;
    [[nodiscard]] TimeOfDay Now() const;

    store::ISettingsStore& settings_;
    desktop::IMessageBox& messageBox_;
    const os::IClock& clock_;
    std::function<std::string()> windowCaption_;
    std::function<void()> changed_;

    int runOn_ = -1;
    Picker<Date> date_;
    Picker<TimeOfDay> time_;
    std::string hoursText_;
    bool hoursEnabled_ = true;
    bool hoursWhite_ = true;
    std::string lastRunTime_ = kNeverRun;
    bool applyEnabled_ = false;
    bool cancelEnabled_ = false;
};

}  // namespace orvelle::schedule
