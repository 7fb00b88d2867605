#pragma once

#include "platform/TrayIcon.h"

#include <QIcon>
#include <QObject>
#include <QSystemTrayIcon>

#include <memory>

namespace orvelle::platform::posix {

// The notification-area icon through QSystemTrayIcon. A double click arrives as
// mouse message 515 and the context-menu request (right button) as 517.
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

private:
    void OnActivated(QSystemTrayIcon::ActivationReason reason);

    std::unique_ptr<QSystemTrayIcon> icon_;
    Callback callback_;
};

}  // namespace orvelle::platform::posix
