#pragma once

#include "ScheduleEditor.h"
#include "os/Clock.h"

namespace orvelle::schedule {

enum class DueResult {
    NotDue,
    Due,
    // The hours test was needed but the last-run text is neither the never-run
    // marker nor a time of day (a damaged store); it counts as not due.
    DamagedLastRun,
};

// Whether the schedule the page shows is due at `now`:
//   weekday modes: today is the chosen weekday (by its number, so in every language),
//                  then the time test when a time is set, else the hours test;
//   "Daily":       the time test when a time is set, else the hours test;
//   "Date":        the date is today, no time, and the hours test;
//   "Date & Time": the date is today and the time test;
//   anything else: never.
// The time test compares hours, minutes and seconds. The hours test counts the hour
// boundaries since the last run, modulo 24 (so it carries on across midnight), and is
// true when that count equals "Run after each" read as a whole number of hours ≥ 1;
// empty, non-numeric, zero or negative hours are never due.
[[nodiscard]] DueResult IsScheduleDue(const ScheduleState& state, const os::LocalDateTime& now);

// "Run after each" as a whole number of hours ≥ 1 (blanks around it allowed), else 0.
[[nodiscard]] int ParseRunAfterHours(const std::string& text);

}  // namespace orvelle::schedule
