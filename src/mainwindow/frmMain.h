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

namespace orvelle::schedule {
class QTimerSwitch;
class ScheduleEditor;
class SchedulePage;
class ScheduleTimers;
class SecondTimer;
}  // namespace orvelle::schedule

namespace orvelle::widgets {
class VbCheckBox;
}
namespace orvelle::filesecurity {
class FileSecurityPage;
}

namespace orvelle::cleaning::ui {
class CleaningPages;
}

namespace orvelle::popup {
class HideShowWindows;
class MSHook;
}  // namespace orvelle::popup

namespace orvelle::popup::ui {
class PopupKillerPage;
}

namespace orvelle::shell {

class frmPreview;

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
    void tmrSchedule_Timer();
    void tmrMakeScehduleEnable_Timer();
    void lblWebSite_Click();
    void Label9_Click();
    // The three "Preview" buttons: opens (or brings up) the list of what a clean of
    // the checked options would erase now.
    void cmdPreview_Click();
    // The preview window once opened.
    [[nodiscard]] frmPreview* PreviewWindow() const noexcept { return preview_.get(); }
    // The browser-window collection reports a change of the window list.
    void IEWin_IEWindowRegistered();
    void IEWin_IEWindowRevoked();

    // An encrypted file opened from the file manager (or named on the command line):
    // the window comes forward on the File Security page, set to decrypt that file.
    // Nothing is decrypted until the user types the passphrase and says so.
    void OpenEncryptedFile(const std::string& path);

    // Unloads the window for `mode`: the query step, then the unload step. False
    // when the query cancelled it.
    bool Unload(int mode = vbFormCode);
    // True once the unload step has run.
    [[nodiscard]] bool IsUnloaded() const noexcept { return unloaded_; }

    // True while the Schedule page holds unapplied edits (its cmdApply or cmdCancel
    // is enabled); the cleaning run is refused then.
    [[nodiscard]] bool IsSchedulePending() const;

    // The options on screen are not the ones the user stored: `text` says why in one
    // box and the cleaning pages open. With `holdSchedule` (the store cannot be read)
    // no scheduled clean starts for the rest of this run.
    void ShowStoreNotice(const std::string& text, bool holdSchedule);
    [[nodiscard]] bool IsScheduleHeld() const noexcept { return scheduleHeld_; }

    [[nodiscard]] schedule::ScheduleEditor& ScheduleEditor() noexcept { return *scheduleEditor_; }

    // The pop-up sound path read from "wavpath.txt" by the load step.
    [[nodiscard]] const std::string& PopupSoundPath() const noexcept;

    // The browser-window collection, created by the load step.
    std::unique_ptr<popup::cIEWindows> IEWin;

    // The hot key that hides every window, installed by the load step.
    [[nodiscard]] popup::MSHook& KeyboardHook() noexcept { return *keyboardHook_; }
    [[nodiscard]] const popup::HideShowWindows& WindowHiding() const noexcept {
        return *hideShowWindows_;
    }

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
    // The cleaning engine: the Main page's cleaning part (rtfMessage, cmdBasicClean,
    // chkSettings_0, txtHomePageURL, cmdHomePage), the Clean Internet and Clean
    // Computer pages, and the run (cleaningPages->cmdBasicClean_Click()).
    cleaning::ui::CleaningPages* cleaningPages;
    // Popup Killer page.
    popup::ui::PopupKillerPage* pagePopupKiller;
    // File Security page.
    filesecurity::FileSecurityPage* pageFileSecurity;
    // The Schedule page over its editor (the live schedule).
    schedule::SchedulePage* schedulePage;
    // Timers. tmrSchedule tests the schedule once per wall-clock second.
    schedule::SecondTimer* tmrSchedule;
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

Q_SIGNALS:
    // The unload step has run: the process ends now.
    void processEnding();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    void BuildPages();
    void BuildStatusLine();
    void BuildScheduleTimers();
    void AttachCleaningPages();
    void AddFileSecurityPage();
    QWidget* BuildMainPage();
    // Puts `page` in place of the placeholder at `index`, keeping caption and name.
    void ReplacePage(int index, QWidget* page);
    void BuildMenu();
    void AddTrayIcon();
    void ShowNormal();
    void IEWindowRegistered() override;
    void IEWindowRevoked() override;

    [[nodiscard]] desktop::WindowHandle MainWindowHandle();
    void OpenWebLabel(const QLabel* label);

    AppServices& services_;
    std::unique_ptr<schedule::ScheduleEditor> scheduleEditor_;
    std::unique_ptr<schedule::QTimerSwitch> rearmSwitch_;
    std::unique_ptr<schedule::ScheduleTimers> scheduleTimers_;
    const std::unique_ptr<popup::HideShowWindows> hideShowWindows_;
    const std::unique_ptr<popup::MSHook> keyboardHook_;
    std::unique_ptr<frmPreview> preview_;
    // A run wanted the window while the hot key had hidden every window.
    bool bShowWhenWindowsShown_ = false;
    bool unloaded_ = false;
    bool scheduleHeld_ = false;
};

}  // namespace orvelle::shell
