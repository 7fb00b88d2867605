#include "QtTrayIcon.h"

namespace orvelle::platform::posix {

QtTrayIcon::QtTrayIcon(const QIcon& icon, QObject* parent)
    : QObject(parent), icon_(std::make_unique<QSystemTrayIcon>(icon)) {
    connect(icon_.get(), &QSystemTrayIcon::activated, this, &QtTrayIcon::OnActivated);
}

QtTrayIcon::~QtTrayIcon() = default;

void QtTrayIcon::Add(const std::string& tip) {
    if (icon_->isVisible()) {
        return;  // adding an icon that exists has no effect
    }
    // The platform's tip field holds 64 bytes with the terminating zero.
    QString text = QString::fromStdString(tip);
    QByteArray bytes = text.toUtf8();
    if (bytes.size() > 63) {
        bytes.truncate(63);
        text = QString::fromUtf8(bytes);
        // A cut through a multi-byte character leaves a replacement character; drop it.
        if (text.endsWith(QChar::ReplacementCharacter)) {
            text.chop(1);
        }
    }
    icon_->setToolTip(text);
    icon_->show();
}

void QtTrayIcon::Remove() {
    icon_->hide();
}

bool QtTrayIcon::IsAdded() const {
    return icon_->isVisible();
}

bool QtTrayIcon::IsAvailable() const {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void QtTrayIcon::SetCallback(Callback callback) {
    callback_ = std::move(callback);
}

void QtTrayIcon::OnActivated(QSystemTrayIcon::ActivationReason reason) {
    if (!callback_) {
        return;
    }
    switch (reason) {
    case QSystemTrayIcon::DoubleClick:
        callback_(kLeftDoubleClick);
        break;
    case QSystemTrayIcon::Context:
        callback_(kRightButtonUp);
        break;
    default:
        break;  // single clicks and the middle button are other mouse messages
    }
}

}  // namespace orvelle::platform::posix
