#pragma once

#include "desktop/Sound.h"

#include <QObject>
#include <QString>

#include <memory>

class QSoundEffect;

namespace orvelle::desktop::qt {

// WAV playback through Qt Multimedia. A new sound stops the one still playing.
// Nothing is played (and nothing reported) for a missing file or on a machine
// without an audio output, where the player would otherwise never finish.
class QtSound final : public QObject, public ISound {
    Q_OBJECT

public:
    explicit QtSound(QObject* parent = nullptr);
    ~QtSound() override;

    void PlaySoundAsync(const std::string& path) override;

    // The file last handed to the player ("" when nothing was played).
    [[nodiscard]] const QString& LastPlayed() const noexcept { return lastPlayed_; }
    // Whether a sound is playing now.
    [[nodiscard]] bool IsPlaying() const;

private:
    std::unique_ptr<QSoundEffect> effect_;
    QString lastPlayed_;
};

}  // namespace orvelle::desktop::qt
