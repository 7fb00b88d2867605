#include "PopupKillerState.h"

namespace orvelle::popup {

const std::string& PopupKillerState::SoundPathForPopup(const os::IProcessInfo& process) {
    if (soundPath_.empty()) {
        soundPath_ = process.DataFolder() + process.PathSeparator() + "ding.wav";
    }
    return soundPath_;
}

}  // namespace orvelle::popup
