#include "PopupKillerState.h"

#include "ProgramPaths.h"

namespace orvelle::popup {

const std::string& PopupKillerState::SoundPathForPopup(const platform::IProcessInfo& process) {
    if (soundPath_.empty()) {
        soundPath_ = shell::ProgramFile(process, "ding.wav");
    }
    return soundPath_;
}

}  // namespace orvelle::popup
