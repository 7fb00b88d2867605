#pragma once

#include "os/ProcessInfo.h"

#include <string>

namespace orvelle::popup {

// The popup killer's switch and its sound path: one instance for the process,
// owned by the Popup Killer page and read by every window monitor.
class PopupKillerState {
public:
    // True while pop-ups are blocked. Off until the load step reads the setting.
    [[nodiscard]] bool IsActive() const noexcept { return active_; }
    void SetActive(bool active) noexcept { active_ = active; }

    // The sound played for a blocked pop-up; empty means the default.
    [[nodiscard]] const std::string& SoundPath() const noexcept { return soundPath_; }
    void SetSoundPath(std::string path) { soundPath_ = std::move(path); }

    // The path to play for a pop-up. An empty path becomes the program's own
    // "ding.wav" from now on (the choice is not written to "wavpath.txt").
    const std::string& SoundPathForPopup(const os::IProcessInfo& process);

    // The stored "IsActive" text: only "0" means off; anything else, an empty text
    // included, means on.
    [[nodiscard]] static bool IsActiveText(const std::string& stored) { return stored != "0"; }
    // The text stored for a state: "1" on, "0" off.
    [[nodiscard]] static const char* ActiveText(bool active) { return active ? "1" : "0"; }

private:
    bool active_ = false;
    std::string soundPath_;
};

}  // namespace orvelle::popup
