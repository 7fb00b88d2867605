#pragma once

#include "cIEWindows.h"
#include "os/Clock.h"

#include <string>
#include <vector>

namespace orvelle::popup {

// One row of the window log: its key (the handle in decimal and "K") and its
// three columns.
struct WindowLogRow {
    std::string key;
    std::string location;
    std::string url;
    std::string time;

    friend bool operator==(const WindowLogRow&, const WindowLogRow&) = default;
};

// The time of day as "hh:mm:ss AMPM": a 12-hour clock, two digits each, then the
// designator (`am` or `pm`; "AM" and "PM" when the system gives none).
[[nodiscard]] std::string FormatTimeAmPm(const os::LocalDateTime& time,
                                         const std::string& am = "AM",
                                         const std::string& pm = "PM");

// The rows of the window log, one per monitor in collection order, all with the
// same time. A window whose title cannot be read is left out; an address that
// cannot be read leaves its cell empty.
[[nodiscard]] std::vector<WindowLogRow> WindowLogRows(const cIEWindows& windows,
                                                      const std::string& time);

}  // namespace orvelle::popup
