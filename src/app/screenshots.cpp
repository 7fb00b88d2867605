// Renders every page of the main window and the About box to PNG files, in a
// private environment so that the user's own settings are never touched.
//
//   orvelle-screenshots [OUTPUT-FOLDER]     (default: ./screenshots)

#include "AppIcon.h"
#include "CleaningPages.h"
#include "FakeBrowser.h"
#include "FakeDesktop.h"
#include "FakeOs.h"
#include "FakeStore.h"
#include "FileSecurityPage.h"
#include "MSHook.h"
#include "PopupKillerPage.h"
#include "ProgramServices.h"
#include "ScheduleEditor.h"
#include "SchedulePage.h"
#include "VbCheckBox.h"
#include "cIEWindows.h"
#include "frmAbout.h"
#include "frmMain.h"
#include "frmPreview.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <tuple>

namespace {

// Message boxes would wait for a click nobody makes: print them instead.
class PrintingMessageBox final : public orvelle::desktop::IMessageBox {
public:
    void Show(const std::string& text, const std::string& title,
              orvelle::desktop::MessageIcon /*icon*/) override {
        std::fprintf(stderr, "message box \"%s\": %s\n", title.c_str(), text.c_str());
    }
    // The safe answer: nothing is replaced while the pages are shown.
    [[nodiscard]] bool Ask(const std::string& text, const std::string& title,
                           const std::string& /*yes*/, const std::string& no) override {
        std::fprintf(stderr, "question \"%s\": %s -> %s\n", title.c_str(), text.c_str(),
                     no.c_str());
        return false;
    }
};

// A few files for the cleaning run to find in the private home's temporary folder.
void MakeDemoTree(const QString& temporary) {
    for (const char* name : {"report.tmp", "~draft.odt", ".keep-me", "cache/a.bin",
                             "cache/deeper/b.bin", "setup-1234/installer.log"}) {
        const QString path = temporary + QLatin1Char('/') + QString::fromLatin1(name);
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        if (file.open(QIODevice::WriteOnly)) {
            file.write("demo");
        }
    }
}

bool Save(QWidget& widget, const QString& path) {
    QApplication::processEvents();
    const bool saved = widget.grab().save(path);
    std::fprintf(saved ? stdout : stderr, "%s %s\n", saved ? "wrote" : "could not write",
                 qPrintable(path));
    return saved;
}

// A private home: the program's folders under it, so that nothing of the user's is
// read or changed. False when it could not be made.
bool PrepareHome(const QTemporaryDir& home, const QString& output) {
    if (!home.isValid() || !QDir().mkpath(output)) {
        std::fprintf(stderr, "cannot prepare the output folder %s\n", qPrintable(output));
        return false;
    }
    for (const char* name :
         {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR", "TMPDIR"}) {
        const QString folder = home.path() + QLatin1Char('/') + QString::fromLatin1(name);
        QDir().mkpath(folder);
        QFile::setPermissions(
            folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        qputenv(name, folder.toLocal8Bit());
    }
    qputenv("HOME", home.path().toLocal8Bit());
    return true;
}

// A clean first, so that the pages show the coloured log; before it, the preview of
// that clean with My Documents ticked for it to show its warning. The recycle bins of
// the machine's other drives lie outside the private home: that option stays off.
bool ShootCleaning(orvelle::shell::frmMain& window, const QTemporaryDir& home,
                   const QString& output) {
    MakeDemoTree(QString::fromLocal8Bit(qgetenv("TMPDIR")));
    window.cleaningPages->chkSettings[5]->SetValue(0);
    QDir().mkpath(home.path() + QStringLiteral("/Documents"));
    QFile letter(home.path() + QStringLiteral("/Documents/letter.odt"));
    if (letter.open(QIODevice::WriteOnly)) {
        letter.write("demo");
        letter.close();
    }
    window.cleaningPages->chkSettings[4]->SetValue(1);
    window.cmdPreview_Click();
    while (window.PreviewWindow()->Filling()) {
        QApplication::processEvents();
    }
    const bool ok = Save(*window.PreviewWindow(), output + QStringLiteral("/preview.png"));
    window.PreviewWindow()->close();
    window.cleaningPages->chkSettings[4]->SetValue(0);
    window.cleaningPages->cmdBasicClean_Click();
    return ok;
}

// The Popup Killer page with a few browser windows listed and the sound chosen, then
// every page as it is.
bool ShootPages(orvelle::shell::frmMain& window, const orvelle::os::IProcessInfo& process,
                const QString& output) {
    using namespace orvelle;
    browsers::fake::FakeBrowserSource browsers;
    for (const auto& [handle, title, url] :
         {std::tuple{65537, "Orvelle - Privacy for your desktop", "https://orvelle.example.org/"},
          std::tuple{65538, "Weather forecast for the week",
                     "https://weather.example.com/week?city=Lyon"},
          std::tuple{65541, "News - Front page", "https://news.example.net/"},
          std::tuple{65544, "Search results: privacy tools",
                     "https://search.example.com/?q=privacy+tools"}}) {
        browsers.windows.push_back(
            std::make_shared<browsers::fake::FakeBrowserWindow>(handle, title, url));
    }
    os::fake::FakeEventPump pump;
    desktop::fake::FakeKeyState keys;
    desktop::fake::FakeSound sound;
    popup::Events relay;
    auto& popupPage = *window.pagePopupKiller;
    popupPage.State().SetSoundPath(process.ProgramFolder() + "/ding.wav");
    popupPage.ShowSoundPath();
    popup::cIEWindows shownWindows(
        popup::TrackingServices{browsers, pump, keys, sound, process, popupPage.State(), relay});
    popupPage.RefreshWindowLog(shownWindows);

    bool ok = true;
    for (int page = 0; page < window.tabMain->count(); ++page) {
        window.tabMain->setCurrentIndex(page);
        const QString name = window.tabMain->widget(page)->objectName();
        ok =
            Save(window, QStringLiteral("%1/main-%2-%3.png").arg(output).arg(page).arg(name)) && ok;
    }
    return ok;
}

// The Schedule page in three of its modes.
bool ShootSchedule(orvelle::shell::frmMain& window, const QString& output) {
    using namespace orvelle;
    auto& schedule = window.ScheduleEditor();
    window.tabMain->setCurrentWidget(window.schedulePage);
    schedule.SelectRunOn(schedule::kDaily);
    bool ok = Save(window, output + QStringLiteral("/schedule-daily.png"));
    schedule.SelectRunOn(schedule::kDateAndTime);
    schedule.UserEditsDate(schedule::Date{2026, 12, 24});
    schedule.UserEditsTime(schedule::TimeOfDay{18, 30, 0});
    ok = Save(window, output + QStringLiteral("/schedule-date-time.png")) && ok;
    schedule.SelectRunOn(schedule::kNever);
    ok = Save(window, output + QStringLiteral("/schedule-never.png")) && ok;
    schedule.cmdCancel_Click();
    return ok;
}

// The File Security page in each direction and scope, with its fields filled in.
bool ShootFileSecurity(orvelle::shell::frmMain& window, const QString& output) {
    using orvelle::filesecurity::FileSecurityPage;
    window.tabMain->setCurrentIndex(orvelle::shell::frmMain::kFileSecurityPage);
    FileSecurityPage& page = *window.pageFileSecurity;
    const struct {
        QRadioButton* FileSecurityPage::*direction;
        QRadioButton* FileSecurityPage::*scope;
        const char* name;
        const char* source;
        const char* destination;
    } states[] = {
        {&FileSecurityPage::Option2, &FileSecurityPage::Option4, "encrypt-file",
         "/home/user/Documents/report.odt", "/home/user/Documents/report.kdf"},
        {&FileSecurityPage::Option2, &FileSecurityPage::Option5, "encrypt-folder",
         "/home/user/Documents", "/home/user/Documents.kdf"},
        {&FileSecurityPage::Option3, &FileSecurityPage::Option4, "decrypt-file",
         "/home/user/Documents/report.kdf", "/home/user/Documents/report.odt"},
        {&FileSecurityPage::Option3, &FileSecurityPage::Option5, "decrypt-folder",
         "/home/user/Documents.kdf", "/home/user/Restored"},
    };
    bool ok = true;
    for (const auto& state : states) {
        (page.*state.direction)->click();
        (page.*state.scope)->click();
        page.txtSource->setText(QString::fromLatin1(state.source));
        page.txtDestination->setText(QString::fromLatin1(state.destination));
        page.txtPassword->setText(QStringLiteral("secret"));
        page.txtReenter->setText(QStringLiteral("secret"));
        ok =
            Save(window,
                 QStringLiteral("%1/filesecurity-%2.png").arg(output, QLatin1String(state.name))) &&
            ok;
    }
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace orvelle;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    const QString output =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots");
    QTemporaryDir home;
    if (!PrepareHome(home, output)) {
        return 1;
    }

    QApplication application(argc, argv);
    QApplication::setWindowIcon(shell::AppIcon());
    PrintingMessageBox messageBox;
    wiring::ProgramServices posix(&messageBox);
    shell::frmMain window(posix.services);
    window.Form_Load();
    window.show();

    bool ok = ShootCleaning(window, home, output);
    ok = ShootPages(window, posix.core.process, output) && ok;
    ok = ShootSchedule(window, output) && ok;
    ok = ShootFileSecurity(window, output) && ok;

    shell::frmAbout about(&window, window.KeyboardHook().HotKeyState(),
                          posix.hookLibrary.HotKeyName());
    about.show();
    ok = Save(about, output + QStringLiteral("/about.png")) && ok;
    return ok ? 0 : 1;
}
