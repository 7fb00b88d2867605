#include "CleaningPages.h"
#include "FakeAppServices.h"
#include "FakeBrowser.h"
#include "FakeClipboard.h"
#include "FakeDesktop.h"
#include "FakeFileSecurity.h"
#include "FakeFolderTree.h"
#include "FakeOs.h"
#include "FakeRecycleBin.h"
#include "FakeShellFolders.h"
#include "FakeStore.h"
#include "FakeWindowPlatform.h"
#include "FileSecurityPage.h"
#include "RegistrySettingsStore.h"
#include "ScheduleEditor.h"
#include "SchedulePage.h"
#include "SecondTimer.h"
#include "SqliteRegistry.h"
#include "VbCheckBox.h"
#include "Version.h"
#include "frmAbout.h"
#include "frmMain.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include <gtest/gtest.h>

using namespace orvelle;
using namespace orvelle::os;
using namespace orvelle::store;
using namespace orvelle::desktop;
using namespace orvelle::popup;

namespace {

class frmMainTest : public ::testing::Test, protected test::FakeAppServices {
protected:
    std::unique_ptr<shell::frmMain> Load() {
        auto window = std::make_unique<shell::frmMain>(services);
        window->Form_Load();
        return window;
    }

    // Whether the store holds any section besides "PopupKiller", whose switch the
    // load step saves when it ticks the box.
    bool AnySettingStored() {
        HKEY root = kNullKey;
        if (registry.RegOpenKeyExA(HKEY_CURRENT_USER, RegistrySettingsStore::kRoot, KEY_READ,
                                   root) != ERROR_SUCCESS) {
            return false;
        }
        const RegistryKey rootKey(registry, root);
        std::string application;
        for (std::uint32_t app = 0; registry.RegEnumKeyExA(root, app, application) == ERROR_SUCCESS;
             ++app) {
            HKEY sections = kNullKey;
            if (registry.RegOpenKeyExA(root, application, KEY_READ, sections) != ERROR_SUCCESS) {
                return true;
            }
            const RegistryKey sectionsKey(registry, sections);
            std::string section;
            for (std::uint32_t index = 0;
                 registry.RegEnumKeyExA(sections, index, section) == ERROR_SUCCESS; ++index) {
                if (application != "Orvelle" || section != "PopupKiller") {
                    return true;
                }
            }
        }
        return false;
    }
};

}  // namespace

TEST_F(frmMainTest, FirstStartOnAnEmptyStoreLoadsEverythingAndStoresNothing) {
    auto window = Load();
    EXPECT_TRUE(messageBox.shown.empty());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Orvelle v2.1"));
    EXPECT_EQ(window->mnuShow->text(), QStringLiteral("Orvelle v2.1"));
    EXPECT_TRUE(tray.added);
    EXPECT_EQ(tray.tip, "Orvelle v2.1");
    EXPECT_EQ(window->chkStartup->Value(), 0);
    EXPECT_EQ(window->lblStatus->text(), QStringLiteral("Ready"));
    EXPECT_EQ(window->PopupSoundPath(), "");
    EXPECT_FALSE(AnySettingStored());
    EXPECT_EQ(settings.GetSetting("Orvelle", "PopupKiller", "IsActive", "?"), "1")
        << "ticking the popup killer's box at load runs its handler";
    EXPECT_TRUE(startupList.entries.empty());

    const QStringList captions = {
        QStringLiteral("Main"),           QStringLiteral("Clean Internet"),
        QStringLiteral("Clean Computer"), QStringLiteral("Popup Killer"),
        QStringLiteral("File Security"),  QStringLiteral("Schedule")};
    ASSERT_EQ(window->tabMain->count(), captions.size());
    for (int page = 0; page < captions.size(); ++page) {
        EXPECT_EQ(window->tabMain->tabText(page).trimmed(), captions[page]);
    }
    for (const char* name : {"tabMain", "lblStatus", "Label9", "chkStartup", "lblUser", "lblOS",
                             "Label12", "Label13", "lblWebSite", "cmdClose", "tmrSchedule",
                             "tmrMakeScehduleEnable", "tmrProgress", "mnuNimbra"}) {
        EXPECT_NE(window->findChild<QObject*>(QString::fromLatin1(name)), nullptr) << name;
    }
    EXPECT_EQ(window->Label12->text(), QStringLiteral("Your LAN IP address is:"));
    const QList<QAction*> entries = window->mnuNimbra->actions();
    ASSERT_EQ(entries.size(), 5);
    EXPECT_EQ(entries[0]->objectName(), QStringLiteral("mnuShow"));
    EXPECT_EQ(entries[1]->text(), QStringLiteral("Activate Popup Killer"));
    EXPECT_TRUE(entries[1]->isCheckable());
    EXPECT_EQ(entries[2]->text(), QStringLiteral("About"));
    EXPECT_TRUE(entries[3]->isSeparator());
    EXPECT_EQ(entries[4]->text(), QStringLiteral("Exit"));
}

TEST_F(frmMainTest, SoundPathIsTheFirstLineOfWavpathAndAMissingOrEmptyFileIsNoError) {
    files.files["/opt/orvelle/wavpath.txt"] = "";
    auto empty = Load();
    EXPECT_EQ(empty->PopupSoundPath(), "");
    EXPECT_EQ(empty->lblStatus->text(), QStringLiteral("Ready"));

    files.files["/opt/orvelle/wavpath.txt"] = "/home/u/ding.wav\r\nignored\r\n";
    auto chosen = Load();
    EXPECT_EQ(chosen->PopupSoundPath(), "/home/u/ding.wav");
    EXPECT_TRUE(messageBox.shown.empty());
}

TEST_F(frmMainTest, StoredStartUpOptionSetsTheBoxAndADamagedOneDoesNotStopTheLoad) {
    settings.SaveSetting("Orvelle", "Options", "StartUp", "1");
    EXPECT_EQ(Load()->chkStartup->Value(), 1);

    settings.SaveSetting("Orvelle", "Options", "StartUp", "yes please");
    auto window = Load();
    ASSERT_EQ(messageBox.shown.size(), 1U);
    EXPECT_EQ(messageBox.shown[0].title, "Orvelle");
    EXPECT_EQ(window->chkStartup->Value(), 0);
    EXPECT_EQ(window->lblStatus->text(), QStringLiteral("Ready")) << "the window is loaded whole";

    settings.SaveSetting("Orvelle", "Options", "StartUp", "7");
    auto outOfRange = Load();
    EXPECT_EQ(messageBox.shown.size(), 2U);
    EXPECT_EQ(outOfRange->lblStatus->text(), QStringLiteral("Ready"));
}

TEST_F(frmMainTest, TheCloseBoxHidesToTheTrayAndTheProgramLivesOn) {
    auto window = Load();
    window->show();
    EXPECT_TRUE(window->cmdClose->isVisible()) << "activation shows Exit";
    EXPECT_FALSE(window->close());
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(window->IsUnloaded());
    EXPECT_TRUE(tray.added);
    EXPECT_FALSE(AnySettingStored());
    EXPECT_TRUE(startupList.entries.empty());
}

// An encrypted file opened through the association, while the window is hidden in
// the notification area: the window comes back on the File Security page, set to
// decrypt that file, and nothing is decrypted.
TEST_F(frmMainTest, AnOpenedEncryptedFileBringsUpTheFileSecurityPageOnIt) {
    auto window = Load();
    window->show();
    EXPECT_FALSE(window->close());
    ASSERT_FALSE(window->isVisible());
    window->OpenEncryptedFile("/home/u/letter.kdf");
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->tabMain->currentIndex(), shell::frmMain::kFileSecurityPage);
    EXPECT_EQ(window->tabMain->currentWidget(), window->pageFileSecurity);
    EXPECT_EQ(window->pageFileSecurity->txtSource->text(), QStringLiteral("/home/u/letter.kdf"));
    EXPECT_EQ(window->pageFileSecurity->txtDestination->text(), QStringLiteral("/home/u/letter"));
    EXPECT_TRUE(window->pageFileSecurity->cmdDecrypt->isEnabled());
    EXPECT_TRUE(controls.created.empty() || controls.created.back()->calls.empty());
}

TEST_F(frmMainTest, WithoutANotificationAreaTheCloseBoxMinimisesInstead) {
    tray.available = false;
    auto window = Load();
    window->show();
    EXPECT_FALSE(window->close());
    EXPECT_FALSE(window->IsUnloaded());
    EXPECT_TRUE(window->isMinimized() || window->isVisible());
}

TEST_F(frmMainTest, TheStartUpEntryIsWrittenOnlyWhenTheProgramEnds) {
    auto window = Load();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    // Click the indicator: a wide box is not clickable beyond its text.
    QTest::mouseClick(window->chkStartup, Qt::LeftButton, {},
                      QPoint(6, window->chkStartup->height() / 2));
    EXPECT_EQ(window->chkStartup->Value(), 1);
    EXPECT_TRUE(startupList.entries.empty()) << "a click writes nothing";
    EXPECT_FALSE(AnySettingStored());

    QTest::mouseClick(window->cmdClose, Qt::LeftButton);
    EXPECT_TRUE(window->IsUnloaded());
    EXPECT_EQ(startupList.entries.at("Orvelle"), "/opt/orvelle/orvelle");
    EXPECT_EQ(settings.GetSetting("Orvelle", "Options", "StartUp", "?"), "1");
    EXPECT_FALSE(tray.added);

    // The next start reads the option back; clearing it removes the entry at exit.
    auto next = Load();
    EXPECT_EQ(next->chkStartup->Value(), 1);
    next->chkStartup->SetValue(0);
    next->cmdClose_Click();
    EXPECT_TRUE(startupList.entries.empty());
    EXPECT_EQ(settings.GetSetting("Orvelle", "Options", "StartUp", "?"), "0");
}

TEST_F(frmMainTest, ExitFromTheTrayMenuWhileHiddenEndsWithoutShowingTheWindow) {
    auto window = Load();
    window->show();
    window->close();
    ASSERT_FALSE(window->isVisible());
    int shownAgain = 0;
    QObject::connect(window->mnuShow, &QAction::triggered, [&] { ++shownAgain; });
    window->mnuUnloadNimbra->trigger();
    EXPECT_TRUE(window->IsUnloaded());
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(shownAgain, 0);
    EXPECT_FALSE(tray.added);
    EXPECT_GE(tray.removeCalls, 1);
    EXPECT_EQ(settings.GetSetting("Orvelle", "Options", "StartUp", "?"), "0");
}

TEST_F(frmMainTest, TrayDoubleClickShowsTheWindowInNormalStateAndOtherMessagesDoNothing) {
    auto window = Load();
    window->show();
    window->close();
    ASSERT_FALSE(window->isVisible());
    tray.Fire(513);  // single left click
    tray.Fire(512);  // mouse move
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(window->mnuNimbra->isVisible());
    tray.Fire(515);
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->isMinimized());
    tray.Fire(515);
    EXPECT_TRUE(window->isVisible()) << "a shown window stays shown";
}

TEST_F(frmMainTest, RightButtonUpOnTheIconOpensTheMenuHeadedByTheVersion) {
    auto window = Load();
    tray.Fire(517);
    EXPECT_TRUE(window->mnuNimbra->isVisible());
    EXPECT_EQ(window->mnuNimbra->actions().first()->text(), QStringLiteral("Orvelle v2.1"));
    window->mnuNimbra->close();
}

TEST_F(frmMainTest, TheWindowObjectRemovesItsIconWhenDestroyed) {
    {
        auto window = Load();
        EXPECT_TRUE(tray.added);
    }
    EXPECT_FALSE(tray.added);
    EXPECT_FALSE(static_cast<bool>(tray.callback)) << "no callbacks into a destroyed window";
}

TEST(frmAboutTest, CaptionAndLegalNotice) {
    shell::frmAbout about;
    EXPECT_EQ(about.windowTitle(), QStringLiteral("About Orvelle v2.1"));
    const QString text = about.lblCopyRight->text();
    EXPECT_TRUE(text.contains(QStringLiteral("\n\nAll rights reserved. ")));
    EXPECT_TRUE(text.endsWith(QString::fromUtf8(shell::kLegalCopyright) + QLatin1Char(' ') +
                              QString::fromUtf8(shell::kCompanyName)));
    EXPECT_EQ(about.cmdOK->text(), QStringLiteral("&OK"));
    about.show();
    QTest::mouseClick(about.cmdOK, Qt::LeftButton);
    EXPECT_FALSE(about.isVisible());
}

TEST(frmAboutTest, TheHotKeyIsNamedOnlyWhileItWorksElseTheBoxSaysWhyNot) {
    struct Row {
        HotKeyStatus status;
        bool x11;
        const char* says;
    };
    const Row rows[] = {
        {HotKeyStatus::Active, true, "when you press Ctrl+Alt+H"},
        {HotKeyStatus::Taken, true, "another program holds that key combination"},
        {HotKeyStatus::Unavailable, false, "it needs an X11 display"},
        {HotKeyStatus::Unavailable, true, "libMSHook.so could not be loaded"},
    };
    for (const auto& row : rows) {
        const QString text = shell::frmAbout::CopyRightText(row.status, "Ctrl+Alt+H", row.x11);
        EXPECT_TRUE(text.contains(QString::fromLatin1(row.says))) << row.says;
        EXPECT_EQ(text.contains(QStringLiteral("Ctrl+Alt+H")), row.status == HotKeyStatus::Active)
            << row.says;
    }
    const shell::frmAbout offscreen(nullptr, HotKeyStatus::Unavailable, "");
    EXPECT_TRUE(offscreen.lblCopyRight->text().contains(QStringLiteral("X11 display")));
}

TEST_F(frmMainTest, TheAboutEntryOpensTheAboutBoxModally) {
    auto window = Load();
    QString seenCaption;
    // Looks for the box while its modal loop runs, then closes it as a user would.
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* about = qobject_cast<shell::frmAbout*>(widget);
            if (about != nullptr && about->isVisible() && about->isModal()) {
                seenCaption = about->windowTitle();
                about->cmdOK->click();
            }
        }
    });
    poll.start();
    window->mnuAbout->trigger();
    poll.stop();
    EXPECT_EQ(seenCaption, QStringLiteral("About Orvelle v2.1"));
}

TEST_F(frmMainTest, TheScheduleStartsTheRunAndTheReArmRecordsIt) {
    auto window = Load();
    EXPECT_TRUE(window->tmrSchedule->isActive()) << "the schedule is tested from the start";
    EXPECT_FALSE(window->IsSchedulePending());
    auto& schedule = window->ScheduleEditor();
    schedule.UserEditsTime(schedule::TimeOfDay{10, 0, 0});  // the fake clock reads 10:00:00
    auto* log = window->findChild<QTextEdit*>(QStringLiteral("rtfMessage"));

    window->tmrSchedule_Timer();
    EXPECT_TRUE(log->toPlainText().isEmpty()) << "a pending schedule starts no run";
    EXPECT_EQ(window->schedulePage->lblLastRunTime->text(), QStringLiteral("##:##:##"));

    window->schedulePage->cmdApply->click();
    window->tmrSchedule_Timer();
    EXPECT_TRUE(log->toPlainText().endsWith(QStringLiteral("Done")));
    EXPECT_EQ(window->schedulePage->lblLastRunTime->text(), QStringLiteral("10:00:00"));
    EXPECT_FALSE(window->tmrSchedule->isActive());
    EXPECT_TRUE(window->tmrMakeScehduleEnable->isActive());
    EXPECT_EQ(settings.GetSetting("Orvelle", "Schedule", "LastRunTime", "?"), "10:00:00")
        << "kept at the end of the run: an exit in the next second loses nothing";

    clock.now.second = 1;
    window->tmrMakeScehduleEnable_Timer();
    EXPECT_EQ(settings.GetSetting("Orvelle", "Schedule", "LastRunTime", "?"), "10:00:00");
    EXPECT_TRUE(window->tmrSchedule->isActive());
    EXPECT_FALSE(window->tmrMakeScehduleEnable->isActive());

    log->clear();
    window->tmrSchedule_Timer();
    EXPECT_TRUE(log->toPlainText().isEmpty()) << "10:00:01 is not due";
}

namespace {

TEST_F(frmMainTest, TheLogHasTheMainPagesWidthAndBreaksLinesOnlyBetweenWords) {
    auto window = Load();
    window->resize(900, 640);
    window->show();
    QApplication::processEvents();
    auto* log = window->findChild<QTextEdit*>(QStringLiteral("rtfMessage"));
    auto* page = window->findChild<QWidget*>(QStringLiteral("pageMain"));
    ASSERT_NE(log, nullptr);
    ASSERT_NE(page, nullptr);
    EXPECT_GE(log->width(), page->width() - 40) << "nothing stands beside the log";
    EXPECT_EQ(log->wordWrapMode(), QTextOption::WordWrap)
        << "a long path is never cut in the middle of a name";
}

}  // namespace

TEST_F(frmMainTest, AScheduledRunThatMeetsAnotherCleanWaitsForItInsteadOfBeingDropped) {
    auto window = Load();
    auto& schedule = window->ScheduleEditor();
    schedule.UserEditsTime(schedule::TimeOfDay{10, 0, 0});  // the fake clock reads 10:00:00
    window->schedulePage->cmdApply->click();
    auto* log = window->findChild<QTextEdit*>(QStringLiteral("rtfMessage"));

    cleaningLock.holder = "process 99 (orvelle-clean)";
    window->tmrSchedule_Timer();
    EXPECT_TRUE(log->toPlainText().isEmpty());
    EXPECT_TRUE(window->lblStatus->text().contains(QStringLiteral("waits for it")))
        << window->lblStatus->text().toStdString();
    // The due second passes while orvelle-clean still works.
    clock.now.second = 5;
    window->tmrSchedule_Timer();
    EXPECT_TRUE(log->toPlainText().isEmpty());

    cleaningLock.holder.clear();
    clock.now.second = 9;
    window->tmrSchedule_Timer();
    EXPECT_TRUE(log->toPlainText().endsWith(QStringLiteral("Done")))
        << "it ran once the lock was free";
    EXPECT_EQ(settings.GetSetting("Orvelle", "Schedule", "LastRunTime", "?"), "10:00:09");
}

TEST_F(frmMainTest, OptionsTheStoreDidNotGiveAreShownInOneBoxAndNeverCleanedOnSchedule) {
    auto window = Load();
    auto& schedule = window->ScheduleEditor();
    schedule.UserEditsTime(schedule::TimeOfDay{10, 0, 0});  // the fake clock reads 10:00:00
    window->schedulePage->cmdApply->click();
    messageBox.shown.clear();
    window->ShowStoreNotice("The registry store cannot be read as it is", true);
    ASSERT_EQ(messageBox.shown.size(), 1U);
    EXPECT_EQ(messageBox.shown[0].text, "The registry store cannot be read as it is");
    EXPECT_EQ(window->tabMain->currentIndex(), 1) << "the Clean Internet page";

    auto* log = window->findChild<QTextEdit*>(QStringLiteral("rtfMessage"));
    window->tmrSchedule_Timer();
    EXPECT_TRUE(log->toPlainText().isEmpty()) << "no clean on guessed options";
    EXPECT_TRUE(window->lblStatus->text().contains(QStringLiteral("could not be read")));
    window->cleaningPages->cmdBasicClean_Click();
    EXPECT_TRUE(log->toPlainText().endsWith(QStringLiteral("Done")))
        << "the user, having seen them, may still clean by hand";
}
