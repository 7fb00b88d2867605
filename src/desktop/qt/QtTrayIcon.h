#pragma once

#include "desktop/TrayIcon.h"

#include <QIcon>
#include <QObject>
#include <QSystemTrayIcon>

#include <memory>

namespace orvelle::desktop::qt {

// The notification-area icon through QSystemTrayIcon. A double click arrives as
// mouse message 515 and the context-menu request (right button) as 517. On a
// StatusNotifierItem tray (KDE Plasma, GNOME's AppIndicator extension, most panels of
// today) the panel reports no double click at all, only an activation (a left click):
// there the activation is the double click.
class QtTrayIcon final : public QObject, public ITrayIcon {
    Q_OBJECT

public:
    explicit QtTrayIcon(const QIcon& icon, QObject* parent = nullptr);
    ~QtTrayIcon() override;

    void Add(const std::string& tip) override;
    void Remove() override;
    [[nodiscard]] bool IsAdded() const override;
    [[nodiscard]] bool IsAvailable() const override;
    void SetCallback(Callback callback) override;

    static constexpr int kLeftDoubleClick = 515;
    static constexpr int kRightButtonUp = 517;

    // Whether the icon lives on a StatusNotifierItem tray, decided as Qt decides it when
    // the icon is made: a watcher on the session bus with a host registered.
    [[nodiscard]] bool OnStatusNotifierTray() const noexcept { return statusNotifier_; }

private:
    void OnActivated(QSystemTrayIcon::ActivationReason reason);

    bool statusNotifier_;
    std::unique_ptr<QSystemTrayIcon> icon_;
    Callback callback_;
};

}  // namespace orvelle::desktop::qt
