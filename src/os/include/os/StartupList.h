#pragma once

#include <string>

namespace orvelle::os {

// The desktop's per-user list of programs started at log-on (beyond the registry's
// Run value, which the program writes itself).
class IStartupList {
public:
    virtual ~IStartupList() = default;

    // Adds or replaces the entry `name` that starts `programPath`; false on failure.
    virtual bool AddEntry(const std::string& name, const std::string& programPath) = 0;
    // Removes the entry `name`; a missing entry is no failure.
    virtual bool RemoveEntry(const std::string& name) = 0;
};

}  // namespace orvelle::os
