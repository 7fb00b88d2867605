#include "QtTrayIcon.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QVariant>

namespace orvelle::desktop::qt {
namespace {

bool StatusNotifierHostRegistered() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || bus.interface() == nullptr ||
        !bus.interface()->isServiceRegistered(QStringLiteral("org.kde.StatusNotifierWatcher"))) {
        return false;
    }
    QDBusInterface watcher(QStringLiteral("org.kde.StatusNotifierWatcher"),
                           QStringLiteral("/StatusNotifierWatcher"),
                           QStringLiteral("org.kde.StatusNotifierWatcher"), bus);
    return watcher.isValid() && watcher.property("IsStatusNotifierHostRegistered").toBool();
}

}  // namespace

QtTrayIcon::QtTrayIcon(const QIcon& icon, QObject* parent)
    : QObject(parent),
      // Before the icon: Qt picks its tray when the icon is made.
      statusNotifier_(StatusNotifierHostRegistered()),
      icon_(std::make_unique<QSystemTrayIcon>(icon)) {
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
    case QSystemTrayIcon::Trigger:
        // On an XEmbed tray a single click, which does nothing; on a StatusNotifierItem
        // tray the only click there is.
        if (statusNotifier_) {
            callback_(kLeftDoubleClick);
        }
        break;
    case QSystemTrayIcon::Context:
        callback_(kRightButtonUp);
        break;
    default:
        break;  // single clicks and the middle button are other mouse messages
    }
}

}  // namespace orvelle::desktop::qt
