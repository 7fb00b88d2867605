#pragma once

#include "AppServices.h"
#include "cIEWindows.h"

#include <QWidget>

#include <memory>
#include <string>

class QAction;
class QCloseEvent;
class QGridLayout;
class QLabel;
class QMenu;
class QPushButton;
class QTabWidget;
class QTimer;
class QVBoxLayout;

namespace orvelle::widgets {
class VbCheckBox;
}

namespace orvelle::popup::ui {
class PopupKillerPage;
}

namespace orvelle::shell {

// Reasons a window is asked to close, as the platform numbers them.
enum UnloadMode : int {
    vbFormControlMenu = 0,  // the close box
    vbFormCode = 1,         // the program's own Unload
    vbAppWindows = 2,       // the user logs off or the system shuts down
    vbAppTaskManager = 3,
};

// The program's one main window: six pages in `tabMain`, the status line, the tray
// icon's popup menu and the timers. Its load step initialises every page in a fixed
// order; the close box hides it to the notification area.
class frmMain final : public QWidget, private popup::cIEWindowsEvents {
    Q_OBJECT

public:
    explicit frmMain(AppServices& services, QWidget* parent = nullptr);
    ~frmMain() override;
    frmMain(const frmMain&) = delete;
    frmMain& operator=(const frmMain&) = delete;

    // Window events.
    void Form_Load();
    void Form_Activate();
    void Form_QueryUnload(int& cancel, int unloadMode);
    void Form_Unload(int& cancel);
    void Form_MouseUp(int button, int shift, float x, float y);

    // Handlers.
    void cmdClose_Click();
    void mnuShow_Click();
    void mnuAbout_Click();
    void mnuUnloadNimbra_Click();
    // The browser-window collection reports a change of the window list.
    void IEWin_IEWindowRegistered();
    void IEWin_IEWindowRevoked();

    // Unloads the window for `mode`: the query step, then the unload step. False
    // when the query cancelled it.
    bool Unload(int mode = vbFormCode);
    // True once the unload step has run.
    [[nodiscard]] bool IsUnloaded() const noexcept { return unloaded_; }

    // The pop-up sound path read from "wavpath.txt" by the load step.
    [[nodiscard]] const std::string& PopupSoundPath() const noexcept;

    // The browser-window collection, created by the load step.
    std::unique_ptr<popup::cIEWindows> IEWin;

    // Controls, named as the system names them (each one's objectName is the same).
    QTabWidget* tabMain;
    QLabel* lblStatus;
    QLabel* Label9;
    // Main page.
    widgets::VbCheckBox* chkStartup;
    QLabel* lblUser;
    QLabel* lblOS;
    QLabel* Label12;
    QLabel* Label13;
    QLabel* lblWebSite;
    QPushButton* cmdClose;
    // Popup Killer page.
    popup::ui::PopupKillerPage* pagePopupKiller;
    // Timers.
    QTimer* tmrSchedule;
    QTimer* tmrMakeScehduleEnable;
    QTimer* tmrProgress;
    // The tray icon's popup menu.
    QMenu* mnuNimbra;
    QAction* mnuShow;
    QAction* mnuPoupKiller;
    QAction* mnuAbout;
    QAction* mnuS1;
    QAction* mnuUnloadNimbra;

    // Page index of each tab.
    static constexpr int kMainPage = 0;
    static constexpr int kCleanInternetPage = 1;
    static constexpr int kCleanComputerPage = 2;
    static constexpr int kPopupKillerPage = 3;
    static constexpr int kFileSecurityPage = 4;
    static constexpr int kSchedulePage = 5;

    // Mouse messages that the tray icon delivers through Form_MouseUp.
    static constexpr int kWmLButtonDblClk = 515;
    static constexpr int kWmRButtonUp = 517;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void BuildControls();
    QWidget* BuildMainPage();
    void BuildMenu();
    void AddTrayIcon();
    void ShowNormal();
    void IEWindowRegistered() override;
    void IEWindowRevoked() override;

    AppServices& services_;
    bool unloaded_ = false;
};

}  // namespace orvelle::shell
