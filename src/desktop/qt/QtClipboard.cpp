#include "QtClipboard.h"

#include "os/RuntimeError.h"

#include <QClipboard>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QGuiApplication>

namespace orvelle::desktop::qt {
namespace {

constexpr int kKlipperTimeoutMs = 3000;

// KDE's clipboard manager keeps what was copied in its own history, in memory
// and in its history file; while it runs only it can clear both.
void ClearKlipperHistory() {
    // A connection of its own for this one call, so that it follows the session's
    // bus as it is now (and a bus that was missing once is not missing for good).
    const QString name = QStringLiteral("orvelle-clipboard");
    struct Disconnect {
        QString name;
        ~Disconnect() { QDBusConnection::disconnectFromBus(name); }
    } disconnect{name};
    // The address as the environment gives it now: libdbus reads it only once.
    const QString address = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
    QDBusConnection bus = address.isEmpty()
                              ? QDBusConnection::connectToBus(QDBusConnection::SessionBus, name)
                              : QDBusConnection::connectToBus(address, name);
    if (!bus.isConnected() || bus.interface() == nullptr ||
        !bus.interface()->isServiceRegistered(QStringLiteral("org.kde.klipper")).value()) {
        return;  // no session bus or no Klipper: no history held in memory
    }
    const QDBusMessage reply = bus.call(
        QDBusMessage::createMethodCall(
            QStringLiteral("org.kde.klipper"), QStringLiteral("/klipper"),
            QStringLiteral("org.kde.klipper.klipper"), QStringLiteral("clearClipboardHistory")),
        QDBus::Block, kKlipperTimeoutMs);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        throw os::RuntimeError(
            521, "Can't clear Klipper's clipboard history: " + reply.errorMessage().toStdString());
    }
}

}  // namespace

void QtClipboard::Clear() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard == nullptr) {
        throw os::RuntimeError(521, "Can't open Clipboard");
    }
    clipboard->clear(QClipboard::Clipboard);
    if (clipboard->supportsSelection()) {
        clipboard->clear(QClipboard::Selection);
    }
    ClearKlipperHistory();
}

}  // namespace orvelle::desktop::qt
