#include "WindowLog.h"

#include <cstdio>
#include <exception>

namespace orvelle::popup {

std::string FormatTimeAmPm(const os::LocalDateTime& time, const std::string& am,
                           const std::string& pm) {
    int hour = time.hour % 12;
    if (hour == 0) {
        hour = 12;
    }
    char digits[16];
    std::snprintf(digits, sizeof digits, "%02d:%02d:%02d", hour, time.minute, time.second);
    const bool morning = time.hour < 12;
    const std::string& designator = morning ? am : pm;
    return std::string(digits) + " " + (designator.empty() ? (morning ? "AM" : "PM") : designator);
}

std::vector<WindowLogRow> WindowLogRows(const cIEWindows& windows, const std::string& time) {
    std::vector<WindowLogRow> rows;
    for (const auto& monitor : windows.NewEnum()) {
        const auto& browser = monitor->IEctl();
        if (!browser) {
            continue;
        }
        WindowLogRow row;
        row.key = std::to_string(monitor->IEHandle()) + "K";
        try {
            row.location = browser->LocationName();
        } catch (const std::exception&) {
            continue;  // the row cannot be added: the window is missing from the log
        }
        try {
            row.url = browser->LocationURL();
        } catch (const std::exception&) {
            row.url.clear();  // only this cell stays empty
        }
        row.time = time;
        rows.push_back(std::move(row));
    }
    return rows;
}

}  // namespace orvelle::popup
