#pragma once

#include <string>

namespace orvelle::desktop {

// Sound playback.
class ISound {
public:
    virtual ~ISound() = default;

    // Starts playing a WAV file and returns at once (the caller never waits for the
    // sound); a missing or unplayable file, or a machine without an audio device,
    // plays nothing and reports nothing.
    virtual void PlaySoundAsync(const std::string& path) = 0;
};

}  // namespace orvelle::desktop
