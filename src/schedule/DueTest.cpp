#include "DueTest.h"

#include <cctype>

namespace orvelle::schedule {
namespace {

bool TimeTest(const ScheduleState& state, const os::LocalDateTime& now) {
    return state.time.has_value() && *state.time == TimeOfDay{now.hour, now.minute, now.second};
}

bool IsToday(const std::optional<Date>& date, const os::LocalDateTime& now) {
    return date.has_value() && *date == Date{now.year, now.month, now.day};
}

DueResult HoursTest(const ScheduleState& state, const os::LocalDateTime& now) {
    if (state.lastRunTime == kNeverRun) {
        return DueResult::NotDue;
    }
    const auto lastRun = ParseTime(state.lastRunTime);
    if (!lastRun) {
        return DueResult::DamagedLastRun;
    }
    const int hours = ParseRunAfterHours(state.hoursText);
    if (hours < 1) {
        return DueResult::NotDue;
    }
    const int boundaries = ((now.hour - lastRun->hour) % 24 + 24) % 24;
    return boundaries == hours ? DueResult::Due : DueResult::NotDue;
}

DueResult TimeOrHours(const ScheduleState& state, const os::LocalDateTime& now) {
    if (state.time.has_value()) {
        return TimeTest(state, now) ? DueResult::Due : DueResult::NotDue;
    }
    return HoursTest(state, now);
}

}  // namespace

int ParseRunAfterHours(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return 0;
    }
    const auto last = text.find_last_not_of(" \t");
    long value = 0;
    for (std::size_t i = first; i <= last; ++i) {
        if (std::isdigit(static_cast<unsigned char>(text[i])) == 0) {
            return 0;
        }
        value = value * 10 + (text[i] - '0');
        if (value > 1000000) {
            return 0;  // far beyond any count of hours in a day: never due
        }
    }
    return static_cast<int>(value);
}

DueResult IsScheduleDue(const ScheduleState& state, const os::LocalDateTime& now) {
    if (state.runOn >= kMonday && state.runOn <= kSunday) {
        // dayOfWeek counts Monday as 1, the list counts it as 0.
        if (now.dayOfWeek - 1 != state.runOn) {
            return DueResult::NotDue;
        }
        return TimeOrHours(state, now);
    }
    switch (state.runOn) {
    case kDaily:
        return TimeOrHours(state, now);
    case kDateOnly:
        if (!IsToday(state.date, now) || state.time.has_value()) {
            return DueResult::NotDue;
        }
        return HoursTest(state, now);
    case kDateAndTime:
        return IsToday(state.date, now) && TimeTest(state, now) ? DueResult::Due
                                                                : DueResult::NotDue;
    default:
        return DueResult::NotDue;
    }
}

}  // namespace orvelle::schedule
