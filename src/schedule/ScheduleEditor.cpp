#include "ScheduleEditor.h"

#include "ErrorBox.h"
#include "Settings.h"
#include "Version.h"

namespace orvelle::schedule {

using os::RuntimeError;
namespace keys = shell::settings;

ScheduleEditor::ScheduleEditor(store::ISettingsStore& settings, desktop::IMessageBox& messageBox,
                               const os::IClock& clock, std::function<std::string()> windowCaption)
    : settings_(settings),
      messageBox_(messageBox),
      clock_(clock),
      windowCaption_(std::move(windowCaption)) {
    date_.value = Today();
    time_.value = Now();
}

ScheduleState ScheduleEditor::State() const {
    return {runOn_, date_.Get(), time_.Get(), hoursText_, lastRunTime_};
}

Date ScheduleEditor::Today() const {
    const auto now = clock_.Now();
    return {now.year, now.month, now.day};
}

TimeOfDay ScheduleEditor::Now() const {
    const auto now = clock_.Now();
    return {now.hour, now.minute, now.second};
}

void ScheduleEditor::Changed() const {
    if (changed_) {
        changed_();
    }
}

void ScheduleEditor::SetPending() {
    applyEnabled_ = true;
    cancelEnabled_ = true;
}

void ScheduleEditor::ClearPending() {
    applyEnabled_ = false;
    cancelEnabled_ = false;
    Changed();
}

void ScheduleEditor::SetHours(bool enabled) {
    hoursEnabled_ = enabled;
    hoursWhite_ = enabled;
}

void ScheduleEditor::SelectRunOn(int index) {
    Select(index, false);
}

void ScheduleEditor::Select(int index, bool raiseAlways) {
    if (index < -1 || index >= kModeCount) {
        throw RuntimeError(380, "Invalid property value");
    }
    const bool changed = index != runOn_;
    runOn_ = index;
    if (changed || raiseAlways) {
        cmbDays_Click();
    }
    Changed();
}

void ScheduleEditor::SetHoursText(const std::string& text) {
    if (text == hoursText_) {
        return;
    }
    hoursText_ = text;
    txtHours_Change();
    Changed();
}

void ScheduleEditor::SetLastRunTime(const std::string& text) {
    lastRunTime_ = text;
    Changed();
}

void ScheduleEditor::UserEditsDate(std::optional<Date> date) {
    if (date) {
        date_.value = *date;
    }
    date_.hasValue = date.has_value();
    dtpScheduleDate_Change();
    Changed();
}

void ScheduleEditor::UserEditsTime(std::optional<TimeOfDay> time) {
    if (time) {
        time_.value = *time;
    }
    time_.hasValue = time.has_value();
    dtpScheduleTime_Change();
    Changed();
}

void ScheduleEditor::cmbDays_Click() {
    if (runOn_ >= 0 && runOn_ <= kDaily) {
        date_.hasValue = false;
        date_.enabled = false;
        time_.enabled = true;
        if (!time_.hasValue) {
            SetHours(true);
            if (hoursText_.empty()) {
                SetHoursText("2");
            }
        } else {
            SetHours(false);
        }
    } else if (runOn_ == kDateOnly) {
        date_.enabled = true;
        time_.hasValue = false;
        time_.enabled = false;
        SetHours(true);
    } else if (runOn_ == kDateAndTime) {
        date_.enabled = true;
        time_.enabled = true;
        SetHours(false);
    } else if (runOn_ == kNever) {
        date_.hasValue = false;
        date_.enabled = false;
        time_.hasValue = false;
        time_.enabled = false;
        SetHours(false);
    }
    SetPending();
}

void ScheduleEditor::dtpScheduleDate_Change() {
    SetPending();
}

void ScheduleEditor::ApplyTimePickerRule() {
    // Holds in every mode: a time replaces the hours; no time offers them again
    // (without the "2" default, which only the mode switch fills in).
    SetHours(!time_.hasValue);
    SetPending();
}

void ScheduleEditor::dtpScheduleTime_Change() {
    ApplyTimePickerRule();
}

void ScheduleEditor::txtHours_Change() {
    SetPending();
}

void ScheduleEditor::cmdApply_Click() {
    shell::RunTrapped(messageBox_, [this] {
        const std::string title = windowCaption_ ? windowCaption_() : shell::VersionText();
        if ((runOn_ == kDateOnly || runOn_ == kDateAndTime) && !date_.hasValue) {
            messageBox_.Show("Define Date", title, desktop::MessageIcon::None);
            return;
        }
        if (runOn_ == kDateAndTime && !time_.hasValue) {
            messageBox_.Show("Define Time", title, desktop::MessageIcon::None);
            return;
        }
        const std::string app = shell::ApplicationTitle();
        settings_.SaveSetting(app, keys::kSchedule, keys::kDate,
                              date_.hasValue ? FormatDate(date_.value) : "Null");
        settings_.SaveSetting(app, keys::kSchedule, keys::kTime,
                              time_.hasValue ? FormatTime(time_.value) : "Null");
        settings_.SaveSetting(app, keys::kSchedule, keys::kRunAfter, hoursText_);
        settings_.SaveSetting(app, keys::kSchedule, keys::kLastRunTime, lastRunTime_);
        settings_.SaveSetting(app, keys::kSchedule, keys::kRunOn, std::to_string(runOn_));
        applyEnabled_ = false;
        cancelEnabled_ = false;
    });
    Changed();
}

void ScheduleEditor::cmdCancel_Click() {
    shell::RunTrapped(messageBox_, [this] {
        LoadSchedule();
        applyEnabled_ = false;
        cancelEnabled_ = false;
    });
    Changed();
}

void ScheduleEditor::cmdDefaultSchedule_Click() {
    // Always runs the mode switch, also when "Daily" is already selected.
    shell::RunTrapped(messageBox_, [this] { Select(kDaily, true); });
}

void ScheduleEditor::InitialisePickers() {
    date_.value = Today();
    date_.hasValue = false;
    time_.value = Now();
    time_.hasValue = false;
    Changed();
}

void ScheduleEditor::LoadSchedule() {
    const std::string app = shell::ApplicationTitle();
    auto reportDamaged = [this](const std::string& key, const std::string& text,
                                const std::string& expected) {
        shell::ShowErrorBox(
            messageBox_,
            RuntimeError(os::errors::kTypeMismatch, "Type mismatch: the setting Schedule\\" + key +
                                                        " holds \"" + text + "\", which is not " +
                                                        expected + "; it is left empty"));
    };

    if (settings_.GetSetting(app, keys::kSchedule, keys::kRunOn, "None") == "None") {
        Select(kDaily, true);
    } else {
        if (settings_.GetSetting(app, keys::kSchedule, keys::kDate, "Null") == "Null") {
            date_.value = Today();
            date_.hasValue = false;
        } else {
            const std::string text =
                settings_.GetSetting(app, keys::kSchedule, keys::kDate, FormatDate(Today()));
            if (const auto date = ParseDate(text)) {
                date_.value = *date;
                date_.hasValue = true;
            } else {
                date_.hasValue = false;
                reportDamaged(keys::kDate, text, "a date (yyyy-MM-dd)");
            }
        }
        const std::string timeText =
            settings_.GetSetting(app, keys::kSchedule, keys::kTime, "Null");
        if (timeText == "Null") {
            time_.value = Now();
            time_.hasValue = false;
        } else if (const auto time = ParseTime(timeText)) {
            time_.value = *time;
            time_.hasValue = true;
        } else {
            time_.hasValue = false;
            reportDamaged(keys::kTime, timeText, "a time of day (HH:mm:ss)");
        }
        SetHoursText(settings_.GetSetting(app, keys::kSchedule, keys::kRunAfter, ""));
        lastRunTime_ = settings_.GetSetting(app, keys::kSchedule, keys::kLastRunTime, "");

        std::int32_t runOn = shell::settings::ReadNumberSetting(
            settings_, messageBox_, app, keys::kSchedule, keys::kRunOn, "7", kDaily);
        if (runOn < -1 || runOn >= kModeCount) {
            shell::ShowErrorBox(
                messageBox_,
                RuntimeError(380, "Invalid property value: the setting Schedule\\RunOn holds " +
                                      std::to_string(runOn) + "; \"Daily\" is used"));
            runOn = kDaily;
        }
        Select(runOn, true);
    }
    ApplyTimePickerRule();
    if (runOn_ == kNever) {
        SetHours(false);
    }
    Changed();
}

}  // namespace orvelle::schedule
