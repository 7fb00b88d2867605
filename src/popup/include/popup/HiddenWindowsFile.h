#pragma once

#include <optional>
#include <string>

namespace orvelle::popup {

// The list of windows the hot key hid, kept outside the process so that the next start
// can show them again when this one ends without its unload step (a crash, SIGKILL).
class IHiddenWindowsFile {
public:
    virtual ~IHiddenWindowsFile() = default;

    // Replaces the list atomically: a killed process leaves the old or the new one.
    // Throws RuntimeError when it cannot be written.
    virtual void Write(const std::string& content) = 0;
    // The list a previous process left; nullopt when there is none.
    [[nodiscard]] virtual std::optional<std::string> Read() = 0;
    // Removes the list; a missing one is no error.
    virtual void Remove() = 0;
};

}  // namespace orvelle::popup
