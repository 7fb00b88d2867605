#include "QtSound.h"

#include <QAudioDevice>
#include <QFileInfo>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QUrl>

namespace orvelle::desktop::qt {

QtSound::QtSound(QObject* parent) : QObject(parent) {
}

QtSound::~QtSound() = default;

void QtSound::PlaySoundAsync(const std::string& path) {
    const QString file = QString::fromStdString(path);
    const QFileInfo info(file);
    if (!info.isFile() || !info.isReadable()) {
        return;
    }
    if (QMediaDevices::audioOutputs().isEmpty()) {
        return;
    }
    const QUrl source = QUrl::fromLocalFile(info.absoluteFilePath());
    if (!effect_ || effect_->source() != source) {
        effect_ = std::make_unique<QSoundEffect>();
        effect_->setSource(source);
    } else {
        effect_->stop();
    }
    // Starts once the file is loaded; an unreadable WAV ends in an error status, silently.
    effect_->play();
    lastPlayed_ = file;
}

bool QtSound::IsPlaying() const {
    return effect_ && effect_->isPlaying();
}

}  // namespace orvelle::desktop::qt
