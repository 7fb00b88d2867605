#pragma once

#include <optional>
#include <string>

namespace orvelle::schedule {

// A calendar date.
struct Date {
    int year = 2000;
    int month = 1;
    int day = 1;
    friend bool operator==(const Date&, const Date&) = default;
};

// A time of day to the second.
struct TimeOfDay {
    int hour = 0;
    int minute = 0;
    int second = 0;
    friend bool operator==(const TimeOfDay&, const TimeOfDay&) = default;
};

// The modes of the "Run on" list, in the list's order.
enum RunOnMode : int {
    kMonday = 0,
    kSunday = 6,
    kDaily = 7,
    kDateOnly = 8,
    kDateAndTime = 9,
    kNever = 10,
    kModeCount = 11,
};

inline constexpr const char* kModeTexts[kModeCount] = {
    "Monday", "Tuesday", "Wednesday", "Thursday",    "Friday", "Saturday",
    "Sunday", "Daily",   "Date",      "Date & Time", "Never!"};

// The caption of the last-run label before any run.
inline constexpr const char* kNeverRun = "##:##:##";

// The stored forms: ISO 8601 "yyyy-MM-dd" and "HH:mm:ss".
std::string FormatDate(const Date& date);
std::string FormatTime(const TimeOfDay& time);
// Strict readers of the stored forms; nullopt for anything else (also impossible dates).
std::optional<Date> ParseDate(const std::string& text);
std::optional<TimeOfDay> ParseTime(const std::string& text);
bool IsValidDate(const Date& date);

}  // namespace orvelle::schedule
