#pragma once

#include "PopupKillerState.h"
#include "PopupServices.h"
#include "cIEWindows.h"

#include <QWidget>

class QAction;
class QGroupBox;
class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace orvelle::widgets {
class VbCheckBox;
}

namespace orvelle::popup::ui {

// The "Popup Killer" page: the switch, the sound file and the log of the open
// browser windows. It owns the popup killer's state, which the window monitors read,
// and keeps the tray menu's item `mnuPoupKiller` in step with its check box.
class PopupKillerPage final : public QWidget {
    Q_OBJECT

public:
    explicit PopupKillerPage(PopupServices& services, QWidget* parent = nullptr);

    // The switch and the sound path, for the window monitors.
    [[nodiscard]] PopupKillerState& State() noexcept { return state_; }
    // Module `Events`: the relay between the window monitors and their collection.
    [[nodiscard]] Events& Relay() noexcept { return relay_; }

    // Connects the tray menu's checkable item, which the page keeps ticked with the switch.
    void AttachMenuItem(QAction* menuItem);

    // Load-step duties, in the order the main window runs them.
    // The sound path from "wavpath.txt".
    void LoadSoundPath();
    // The switch from the stored "IsActive"; ticking the box runs its handler.
    void LoadPopupKillerSwitch();
    // `Label14` shows the sound path.
    void ShowSoundPath();
    // The menu item's tick follows the check box.
    void UpdateMenuTick();

    // Handlers.
    void chkPopupKillerActivate_Click();
    void mnuPoupKiller_Click();
    void Command1_Click();
    // `lblBrowsers` names the connected browsers, or tells how to connect one.
    void ShowConnectedBrowsers();
    // Rebuilds `vindows` from the window collection (and `lblBrowsers`).
    void RefreshWindowLog(const cIEWindows& windows);

    // The row of `vindows` with a key (handle and "K"), or null.
    [[nodiscard]] QTreeWidgetItem* FindRow(const QString& key) const;
    static constexpr int kRowKeyRole = Qt::UserRole;

    // Controls, named as the system names them.
    QGroupBox* Frame1;
    widgets::VbCheckBox* chkPopupKillerActivate;
    QPushButton* Command1;
    QLabel* Label14;
    QTreeWidget* vindows;
    QLabel* lblBrowsers;

private:
    void SwitchPopupKiller(bool on);

    PopupServices& services_;
    PopupKillerState state_;
    Events relay_;
    QAction* mnuPoupKiller_ = nullptr;
};

}  // namespace orvelle::popup::ui
