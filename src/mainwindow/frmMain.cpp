#include "frmMain.h"

#include "CleanComputerPage.h"
#include "CleanInternetPage.h"
#include "CleaningMainPanel.h"
#include "CleaningOptions.h"
#include "CleaningPages.h"
#include "CleaningRun.h"
#include "ErrorBox.h"
#include "FileSecurityPage.h"
#include "HideShowWindows.h"
#include "MSHook.h"
#include "Named.h"
#include "OS.h"
#include "PopupKillerPage.h"
#include "ProgramPaths.h"
#include "ScheduleEditor.h"
#include "SchedulePage.h"
#include "ScheduleTimers.h"
#include "SecondTimer.h"
#include "Settings.h"
#include "StartupEntry.h"
#include "VbCheckBox.h"
#include "Version.h"
#include "frmAbout.h"
#include "frmPreview.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <utility>

namespace orvelle::shell {

using widgets::Named;
using widgets::Text;

using os::RuntimeError;

frmMain::frmMain(AppServices& services, QWidget* parent)
    : QWidget(parent),
      services_(services),
      hideShowWindows_(std::make_unique<popup::HideShowWindows>(services.popup.windowList,
                                                                &services.popup.hiddenWindows)),
      keyboardHook_(std::make_unique<popup::MSHook>(
          services.popup.hookLibrary, services.popup.windowProcedure, services.popup.messageBox,
          services.popup.process, *hideShowWindows_, ApplicationTitle())) {
    setObjectName(QStringLiteral("frmMain"));
    BuildControls();
    BuildMenu();
    services_.window.tray.SetCallback(
        [this](int mouseMessage) { Form_MouseUp(0, 0, static_cast<float>(mouseMessage), 0.0F); });
}

frmMain::~frmMain() {
    // The collection goes first: its monitors read the Popup Killer page's state.
    IEWin.reset();
    // Form_Terminate: the icon goes with the window object.
    services_.window.tray.SetCallback(nullptr);
    services_.window.tray.Remove();
}

void frmMain::BuildControls() {
    BuildPages();
    BuildStatusLine();
    BuildScheduleTimers();
    AttachCleaningPages();
    // The schedule is tested from the start.
    tmrSchedule->start();
    AddFileSecurityPage();
    resize(720, 520);
    setMinimumSize(640, 460);
}

void frmMain::BuildPages() {
    tabMain = Named(new QTabWidget(this), "tabMain");
    cleaningPages = new cleaning::ui::CleaningPages(services_.cleaning, this);
    tabMain->addTab(BuildMainPage(), QStringLiteral("   Main   "));
    tabMain->addTab(cleaningPages->CleanInternet(), QStringLiteral("   Clean Internet   "));
    tabMain->addTab(cleaningPages->CleanComputer(), QStringLiteral("   Clean Computer   "));
    const struct {
        const char* objectName;
        const char* caption;
    } kOtherPages[] = {
        {"pageFileSecurity", "File Security"},
    };
    for (const auto& page : kOtherPages) {
        tabMain->addTab(Named(new QWidget(tabMain), page.objectName),
                        QString::fromLatin1(page.caption));
    }
    scheduleEditor_ = std::make_unique<schedule::ScheduleEditor>(
        services_.schedule.settings, services_.schedule.messageBox, services_.schedule.clock,
        [this] { return windowTitle().toStdString(); });
    schedulePage = new schedule::SchedulePage(*scheduleEditor_, tabMain);
    tabMain->addTab(schedulePage, QStringLiteral("Schedule"));
    pagePopupKiller = new popup::ui::PopupKillerPage(services_.popup, tabMain);
    tabMain->insertTab(kPopupKillerPage, pagePopupKiller, QStringLiteral("Popup Killer"));
}

void frmMain::BuildStatusLine() {
    lblStatus = Named(new QLabel(this), "lblStatus");
    lblStatus->setFrameShape(QFrame::StyledPanel);
    lblStatus->setFrameShadow(QFrame::Sunken);
    Label9 = Named(new QLabel(QString::fromUtf8(kCompanyName), this), "Label9");
    Label9->setCursor(Qt::PointingHandCursor);
    Label9->setStyleSheet(QStringLiteral("color: #1f4fbf; text-decoration: underline;"));
    Label9->installEventFilter(this);

    auto* statusLine = new QHBoxLayout;
    statusLine->addWidget(lblStatus, 1);
    statusLine->addWidget(Label9);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabMain, 1);
    layout->addLayout(statusLine);
}

void frmMain::BuildScheduleTimers() {
    tmrSchedule = Named(new schedule::SecondTimer(this), "tmrSchedule");
    tmrMakeScehduleEnable = Named(new QTimer(this), "tmrMakeScehduleEnable");
    tmrMakeScehduleEnable->setInterval(1000);
    tmrProgress = Named(new QTimer(this), "tmrProgress");
    tmrProgress->setInterval(10);

    rearmSwitch_ = std::make_unique<schedule::QTimerSwitch>(*tmrMakeScehduleEnable);
    scheduleTimers_ = std::make_unique<schedule::ScheduleTimers>(
        *scheduleEditor_, services_.schedule.settings, services_.schedule.messageBox,
        services_.schedule.clock, *tmrSchedule, *rearmSwitch_, [this] {
            if (scheduleHeld_) {
                // Options the store did not give are guesses: the schedule never acts on them.
                lblStatus->setText(QStringLiteral(
                    "The cleaning options could not be read: the scheduled clean did not run"));
                return true;
            }
            cleaningPages->cmdBasicClean_Click();
            if (cleaningPages->Run().RefusedByLock()) {
                lblStatus->setText(lblStatus->text() +
                                   QStringLiteral("; the scheduled clean waits for it"));
                return false;
            }
            return true;
        });
    connect(tmrSchedule, &schedule::SecondTimer::timeout, this, &frmMain::tmrSchedule_Timer);
    connect(tmrMakeScehduleEnable, &QTimer::timeout, this, &frmMain::tmrMakeScehduleEnable_Timer);
}

void frmMain::AttachCleaningPages() {
    cleaning::ui::MainWindowControls controls;
    controls.window = this;
    controls.tabMain = tabMain;
    controls.lblStatus = lblStatus;
    controls.setScheduleTimerEnabled = [this](bool enabled) { tmrSchedule->SetEnabled(enabled); };
    controls.setScheduleEnableTimerEnabled = [this](bool enabled) {
        if (enabled) {
            // The run has ended: its time is kept now, not a second later.
            scheduleTimers_->SaveLastRunTime();
        }
        rearmSwitch_->SetEnabled(enabled);
    };
    controls.isSchedulePending = [this] { return IsSchedulePending(); };
    // A run brings the window up as the tray's "Show" does; but while the hot key has
    // hidden every window the run goes on unseen, and the window comes up with the
    // others when the hot key shows them again.
    controls.showWindow = [this] {
        if (!keyboardHook_->WindowsShown()) {
            bShowWhenWindowsShown_ = true;
            return;
        }
        ShowNormal();
    };
    keyboardHook_->SetWindowsShownHandler([this] {
        if (std::exchange(bShowWhenWindowsShown_, false)) {
            RunTrapped(services_.window.messageBox, [this] { ShowNormal(); });
        }
    });
    controls.setLastRunTime = [this](const std::string& text) {
        scheduleEditor_->SetLastRunTime(text);
    };
    cleaningPages->AttachMainWindow(std::move(controls));
    for (QPushButton* preview :
         {cleaningPages->MainPanel()->cmdPreview, cleaningPages->CleanInternet()->cmdPreview,
          cleaningPages->CleanComputer()->cmdPreview}) {
        connect(preview, &QPushButton::clicked, this, &frmMain::cmdPreview_Click);
    }
}

void frmMain::AddFileSecurityPage() {
    pageFileSecurity = new filesecurity::FileSecurityPage(
        services_.fileSecurity, *tmrProgress, [this] { mnuAbout_Click(); }, tabMain);
    ReplacePage(kFileSecurityPage, pageFileSecurity);
}

void frmMain::ReplacePage(int index, QWidget* page) {
    QWidget* placeholder = tabMain->widget(index);
    const QString caption = tabMain->tabText(index);
    page->setObjectName(placeholder->objectName());
    tabMain->removeTab(index);
    placeholder->setObjectName(QString());
    placeholder->deleteLater();
    tabMain->insertTab(index, page, caption);
}

QWidget* frmMain::BuildMainPage() {
    auto* page = Named(new QWidget(tabMain), "pageMain");
    chkStartup =
        Named(new widgets::VbCheckBox(QStringLiteral("Run on Startup"), page), "chkStartup");
    lblUser = Named(new QLabel(page), "lblUser");
    lblOS = Named(new QLabel(page), "lblOS");
    Label12 = Named(new QLabel(QStringLiteral("Your LAN IP address is:"), page), "Label12");
    Label13 = Named(new QLabel(page), "Label13");
    lblWebSite = Named(new QLabel(page), "lblWebSite");
    lblWebSite->setCursor(Qt::PointingHandCursor);
    lblWebSite->setStyleSheet(QStringLiteral("color: #1f4fbf; text-decoration: underline;"));
    lblWebSite->installEventFilter(this);
    cmdClose = Named(new QPushButton(QStringLiteral("E&xit"), page), "cmdClose");
    cmdClose->setVisible(false);  // made visible when the window is activated

    auto* computer = Named(new QGroupBox(QStringLiteral("This computer"), page), "fmComputer");
    // Two lines below the log, so that the log has the page's whole width.
    auto* computerLayout = new QGridLayout(computer);
    int at = 0;
    for (QLabel* label : {lblUser, lblOS, Label12, Label13}) {
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        computerLayout->addWidget(label, at / 2, at % 2);
        ++at;
    }

    auto* grid = new QGridLayout(page);
    grid->addWidget(cleaningPages->MainPanel(), 0, 0, 1, 2);
    grid->setRowStretch(0, 1);
    grid->addWidget(computer, 1, 0, 1, 2);
    grid->addWidget(chkStartup, 3, 0);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(lblWebSite, 1);
    bottom->addWidget(cmdClose);
    grid->addLayout(bottom, 4, 0, 1, 2);

    connect(cmdClose, &QPushButton::clicked, this, &frmMain::cmdClose_Click);
    return page;
}

void frmMain::BuildMenu() {
    mnuNimbra = Named(new QMenu(QStringLiteral("Nimbra Popup"), this), "mnuNimbra");
    mnuShow = Named(mnuNimbra->addAction(QString()), "mnuShow");
    mnuPoupKiller =
        Named(mnuNimbra->addAction(QStringLiteral("Activate Popup Killer")), "mnuPoupKiller");
    mnuPoupKiller->setCheckable(true);
    pagePopupKiller->AttachMenuItem(mnuPoupKiller);
    mnuAbout = Named(mnuNimbra->addAction(QStringLiteral("About")), "mnuAbout");
    mnuS1 = Named(mnuNimbra->addSeparator(), "mnuS1");
    mnuUnloadNimbra = Named(mnuNimbra->addAction(QStringLiteral("Exit")), "mnuUnloadNimbra");

    connect(mnuShow, &QAction::triggered, this, &frmMain::mnuShow_Click);
    connect(mnuAbout, &QAction::triggered, this, &frmMain::mnuAbout_Click);
    connect(mnuUnloadNimbra, &QAction::triggered, this, &frmMain::mnuUnloadNimbra_Click);
}

void frmMain::Form_Load() {
    RunTrapped(services_.window.messageBox, [this] {
        // 1. The pop-up sound file.
        pagePopupKiller->LoadSoundPath();
        // 2. and 3. Captions.
        setWindowTitle(Text(VersionText()));
        mnuShow->setText(Text(VersionText()));
        // 4. The maker's web address from the version record.
        lblWebSite->setText(QString::fromUtf8(kCompanyName));
        // 5. The hot key that hides every window; what a copy that died left hidden first
        // comes back.
        hideShowWindows_->ShowLeftOverWindows();
        keyboardHook_->InstallKeyboardHook(MainWindowHandle());
        // 6. and 7. This computer's name and its system's.
        lblUser->setText(QStringLiteral("User ") +
                         Text(services_.window.systemInfo.GetComputerNameA()));
        lblOS->setText(Text(GetOsName(services_.window.systemInfo)));
        // 8. The popup killer's switch.
        pagePopupKiller->LoadPopupKillerSwitch();
        // 9. The browser-window collection.
        IEWin = std::make_unique<popup::cIEWindows>(popup::TrackingServices{
            services_.popup.browsers, services_.popup.eventPump, services_.popup.keys,
            services_.popup.sound, services_.popup.process, pagePopupKiller->State(),
            pagePopupKiller->Relay()});
        IEWin->AddListener(this);
        // 10. The File Security page and the encrypted-file association.
        pageFileSecurity->InitFileSecurityPage();
        // 11. Option boxes set from here on store nothing.
        cleaningPages->SetSettingsReady(false);
        // 12. The cleaning defaults ("&Default" of the Clean Internet page).
        cleaningPages->cmdDefaultSettings_Click();
        // 13. The stored cleaning options over the defaults.
        cleaningPages->LoadCleaningOptions();
        // 14. chkWebAddress from the browser's AutoSuggest value.
        cleaningPages->LoadWebAddressBox();
        // 15. and 16. The home page, and the browser's start page at every start.
        cleaningPages->RestoreStartPage();
        // 17. From now on every change of an option box is stored.
        cleaningPages->SetSettingsReady(true);
        // 18. The notification-area icon.
        AddTrayIcon();
        // 19. The schedule pickers: now, then no value.
        scheduleEditor_->InitialisePickers();
        // 20. The local network address.
        Label13->setText(Text(services_.window.systemInfo.LocalIp()));
        // 21. "Run on Startup" from the stored option; acted on only at unload.
        const std::int32_t startUp = settings::ReadNumberSetting(
            services_.window.settings, services_.window.messageBox, ApplicationTitle(),
            settings::kOptions, settings::kStartUp, "0", 0);
        if (!chkStartup->SetValue(startUp)) {
            ShowErrorBox(services_.window.messageBox,
                         RuntimeError(380,
                                      "Invalid property value: the setting Options\\StartUp "
                                      "holds " +
                                          std::to_string(startUp) + "; the default is used"));
        }
        // 22. The sound file's name.
        pagePopupKiller->ShowSoundPath();
        // 23. The stored schedule; the page then equals it.
        scheduleEditor_->LoadSchedule();
        scheduleEditor_->ClearPending();
        // 24.
        lblStatus->setText(QStringLiteral("Ready"));
        // 25. The tray menu's tick follows the check box.
        pagePopupKiller->UpdateMenuTick();
    });
}

void frmMain::ShowStoreNotice(const std::string& text, bool holdSchedule) {
    scheduleHeld_ = holdSchedule;
    tabMain->setCurrentWidget(cleaningPages->CleanInternet());
    services_.window.messageBox.Show(text, ApplicationTitle(), desktop::MessageIcon::Exclamation);
}

void frmMain::tmrSchedule_Timer() {
    scheduleTimers_->tmrSchedule_Timer();
}

void frmMain::tmrMakeScehduleEnable_Timer() {
    scheduleTimers_->tmrMakeScehduleEnable_Timer();
}

bool frmMain::IsSchedulePending() const {
    return scheduleEditor_->IsPending();
}

const std::string& frmMain::PopupSoundPath() const noexcept {
    return pagePopupKiller->State().SoundPath();
}

void frmMain::AddTrayIcon() {
    services_.window.tray.Add(VersionText());
}

void frmMain::Form_Activate() {
    cmdClose->setVisible(true);
}

void frmMain::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    Form_Activate();
}

void frmMain::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        Form_Activate();
    }
}

void frmMain::Form_QueryUnload(int& cancel, int unloadMode) {
    RunTrapped(services_.window.messageBox, [&] {
        if (unloadMode != vbFormControlMenu) {
            return;
        }
        AddTrayIcon();
        if (!services_.window.tray.IsAvailable()) {
            // Without a notification area a hidden window could not be brought back:
            // it stays on the task bar, minimised.
            showMinimized();
        } else {
            setWindowState(windowState() | Qt::WindowMinimized);
            hide();
        }
        cancel = 1;
    });
}

void frmMain::Form_Unload(int& /*cancel*/) {
    // No schedule may start a run once the program is ending (an error box below runs a
    // modal loop, in which the timers would still tick).
    tmrSchedule->SetEnabled(false);
    rearmSwitch_->SetEnabled(false);
    RunTrapped(services_.window.messageBox, [this] {
        const int startUp = chkStartup->Value();
        services_.window.settings.SaveSetting(ApplicationTitle(), settings::kOptions,
                                              settings::kStartUp, std::to_string(startUp));
        SetRunAtStartup(services_.window.registry, services_.window.startupList,
                        ProgramPath(services_.window.process), startUp == 1);
        services_.window.tray.Remove();
    });
    // 4. The hot key goes, the window gets its own message handling back and the windows
    // the hot key hid come back; this step ignores its errors, so it runs whatever
    // happened above.
    keyboardHook_->RemoveKeyboardHook();
    // 5. End the process: the program's entry leaves its event loop on this signal.
    Q_EMIT processEnding();
}

bool frmMain::Unload(int mode) {
    if (unloaded_) {
        return true;
    }
    int cancel = 0;
    Form_QueryUnload(cancel, mode);
    if (cancel != 0) {
        return false;
    }
    Form_Unload(cancel);
    unloaded_ = true;
    hide();
    return true;
}

void frmMain::closeEvent(QCloseEvent* event) {
    if (unloaded_ || Unload(vbFormControlMenu)) {
        event->accept();
    } else {
        event->ignore();
    }
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (watched == lblWebSite) {
            lblWebSite_Click();
        } else if (watched == Label9) {
            Label9_Click();
        }
    }
    return QWidget::eventFilter(watched, event);
}

desktop::WindowHandle frmMain::MainWindowHandle() {
    return static_cast<desktop::WindowHandle>(winId());
}

void frmMain::lblWebSite_Click() {
    OpenWebLabel(lblWebSite);
}

void frmMain::Label9_Click() {
    OpenWebLabel(Label9);
}

void frmMain::OpenWebLabel(const QLabel* label) {
    // No error box here: OpenWebPage reports its own failures.
    OpenWebPage(
        {services_.window.tempFile, services_.window.shellExecute, services_.window.messageBox},
        MainWindowHandle(), label->text().toStdString(), "htm");
}

void frmMain::Form_MouseUp(int /*button*/, int /*shift*/, float x, float /*y*/) {
    RunTrapped(services_.window.messageBox, [&] {
        const int mouseMessage = static_cast<int>(x);
        if (mouseMessage == kWmLButtonDblClk) {
            ShowNormal();
        } else if (mouseMessage == kWmRButtonUp) {
            mnuNimbra->popup(QCursor::pos());
        }
    });
}

void frmMain::ShowNormal() {
    // The state goes before the show: a window mapped while still marked minimised is
    // mapped iconic, and the window manager's answer would undo a later change.
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    showNormal();
    if (!keyboardHook_->WindowsShown()) {
        // The hot key hid the window behind the toolkit's back, which still takes it for
        // shown: bring it back the way it went, to its place.
        hideShowWindows_->ShowWindow(MainWindowHandle());
    }
    raise();
    activateWindow();
}

void frmMain::OpenEncryptedFile(const std::string& path) {
    RunTrapped(services_.window.messageBox, [&] {
        ShowNormal();
        tabMain->setCurrentIndex(kFileSecurityPage);
        pageFileSecurity->PrepareDecryption(path);
    });
}

void frmMain::cmdPreview_Click() {
    RunTrapped(services_.window.messageBox, [this] {
        if (preview_ == nullptr || !preview_->Filling()) {
            std::vector<int> checked;
            for (int index = 0; index < cleaning::CleaningOptions::kCount; ++index) {
                if (cleaningPages->Options().Value(index) == 1) {
                    checked.push_back(index);
                }
            }
            // The terminal preview's own finder, over this window's services.
            preview_ = std::make_unique<frmPreview>(
                std::move(checked),
                [this](int index, const cleancli::ScanProgress& progress) {
                    cleancli::PreviewSources sources{services_.cleaning.traces,
                                                     services_.cleaning.registry,
                                                     services_.cleaning.shellFolders,
                                                     services_.cleaning.tempPath,
                                                     services_.cleaning.recycleBin.BinFolders(),
                                                     progress};
                    return cleancli::BuildPreview({index}, sources);
                },
                this);
            preview_->setWindowFlag(Qt::Window);
            preview_->Start();
        }
        preview_->show();
        preview_->raise();
        preview_->activateWindow();
    });
}

void frmMain::cmdClose_Click() {
    Unload(vbFormCode);
}

void frmMain::mnuShow_Click() {
    RunTrapped(services_.window.messageBox, [this] { ShowNormal(); });
}

void frmMain::mnuAbout_Click() {
    RunTrapped(services_.window.messageBox, [this] {
        frmAbout about(this, keyboardHook_->HotKeyState(),
                       services_.popup.hookLibrary.HotKeyName());
        about.exec();
    });
}

void frmMain::IEWin_IEWindowRegistered() {
    pagePopupKiller->RefreshWindowLog(*IEWin);
}

void frmMain::IEWin_IEWindowRevoked() {
    pagePopupKiller->RefreshWindowLog(*IEWin);
}

void frmMain::IEWindowRegistered() {
    IEWin_IEWindowRegistered();
}

void frmMain::IEWindowRevoked() {
    IEWin_IEWindowRevoked();
}

void frmMain::mnuUnloadNimbra_Click() {
    RunTrapped(services_.window.messageBox, [this] {
        services_.window.tray.Remove();
        Unload(vbFormCode);
    });
}

}  // namespace orvelle::shell
