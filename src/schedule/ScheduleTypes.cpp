#include "ScheduleTypes.h"

#include <cctype>
#include <cstdio>

namespace orvelle::schedule {
namespace {

// Reads exactly `digits` decimal digits at `position`.
bool ReadNumber(const std::string& text, std::size_t position, std::size_t digits, int& value) {
    if (position + digits > text.size()) {
        return false;
    }
    value = 0;
    for (std::size_t i = position; i < position + digits; ++i) {
        if (std::isdigit(static_cast<unsigned char>(text[i])) == 0) {
            return false;
        }
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

int DaysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

}  // namespace

bool IsValidDate(const Date& date) {
    return date.year >= 1 && date.year <= 9999 && date.month >= 1 && date.month <= 12 &&
           date.day >= 1 && date.day <= DaysInMonth(date.year, date.month);
}

std::string FormatDate(const Date& date) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", date.year, date.month, date.day);
    return text;
}

std::string FormatTime(const TimeOfDay& time) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", time.hour, time.minute, time.second);
    return text;
}

std::optional<Date> ParseDate(const std::string& text) {
    Date date;
    if (text.size() != 10 || text[4] != '-' || text[7] != '-' ||
        !ReadNumber(text, 0, 4, date.year) || !ReadNumber(text, 5, 2, date.month) ||
        !ReadNumber(text, 8, 2, date.day) || !IsValidDate(date)) {
        return std::nullopt;
    }
    return date;
}

std::optional<TimeOfDay> ParseTime(const std::string& text) {
    TimeOfDay time;
    if (text.size() != 8 || text[2] != ':' || text[5] != ':' ||
        !ReadNumber(text, 0, 2, time.hour) || !ReadNumber(text, 3, 2, time.minute) ||
        !ReadNumber(text, 6, 2, time.second) || time.hour > 23 || time.minute > 59 ||
        time.second > 59) {
        return std::nullopt;
    }
    return time;
}

}  // namespace orvelle::schedule
