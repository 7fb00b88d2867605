#pragma once

#include "os/Clock.h"

namespace orvelle::os::posix {

// The wall clock in the local time zone.
class SystemClock final : public IClock {
public:
    [[nodiscard]] LocalDateTime Now() const override;
};

}  // namespace orvelle::os::posix
