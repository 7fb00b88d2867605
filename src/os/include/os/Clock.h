#pragma once

namespace orvelle::os {

// A local calendar date and time of day, to the second.
struct LocalDateTime {
    int year = 1970;
    int month = 1;  // 1 … 12
    int day = 1;    // 1 … 31
    int hour = 0;   // 0 … 23
    int minute = 0;
    int second = 0;
    int dayOfWeek = 1;  // 1 = Monday … 7 = Sunday
    int millisecond = 0;

    friend bool operator==(const LocalDateTime&, const LocalDateTime&) = default;
};

// The wall clock, injected so that time-dependent logic is tested with a fake.
class IClock {
public:
    virtual ~IClock() = default;

    // The current local date and time.
    [[nodiscard]] virtual LocalDateTime Now() const = 0;
};

}  // namespace orvelle::os
