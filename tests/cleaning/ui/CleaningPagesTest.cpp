#include "CleanComputerPage.h"
#include "CleanInternetPage.h"
#include "CleaningMainPanel.h"
#include "CleaningOptions.h"
#include "CleaningPages.h"
#include "CleaningRun.h"
#include "FakeAppServices.h"
#include "FakeClipboard.h"
#include "FakeDesktop.h"
#include "FakeFolderTree.h"
#include "FakeOs.h"
#include "FakeRecycleBin.h"
#include "FakeShellFolders.h"
#include "FakeStore.h"
#include "QTextEditLogSink.h"
#include "QtClipboard.h"
#include "RegistryLayer.h"
#include "RegistrySettingsStore.h"
#include "SchedulePage.h"
#include "SecondTimer.h"
#include "SqliteRegistry.h"
#include "TempEnvironment.h"
#include "VbCheckBox.h"
#include "frmMain.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QTimer>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace orvelle;
using namespace orvelle::os;
using namespace orvelle::store;
using namespace orvelle::desktop;
using cleaning::ui::QTextEditLogSink;
using testing::ElementsAre;
using widgets::VbCheckBox;

namespace {

QString ColourName(const QColor& colour) {
    if (colour == QColor(0, 0, 255)) {
        return QStringLiteral("blue");
    }
    if (colour == QColor(0, 128, 0)) {
        return QStringLiteral("green");
    }
    if (colour == QColor(255, 0, 0)) {
        return QStringLiteral("red");
    }
    if (colour == QColor(0, 0, 0)) {
        return QStringLiteral("black");
    }
    return colour.name();
}

// The log as text, lines joined by CR LF, with <colour> wherever the colour changes.
std::string ColouredText(const QTextEdit& edit) {
    QString text;
    QString current;
    for (QTextBlock block = edit.document()->begin(); block.isValid(); block = block.next()) {
        if (block != edit.document()->begin()) {
            text += QStringLiteral("\r\n");
        }
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QString colour = ColourName(fragment.charFormat().foreground().color());
            if (colour != current) {
                text += QLatin1Char('<') + colour + QLatin1Char('>');
                current = colour;
            }
            text += fragment.text();
        }
    }
    return text.toStdString();
}

class CleaningPagesTest : public ::testing::Test, protected test::FakeAppServices {
protected:
    CleaningPagesTest() {
        tempPath.path = "/t/";
        shellFolders.folders[CSIDL_PERSONAL] = "/u/Documents";
        shellFolders.folders[CSIDL_HISTORY] = "/u/History";
        folderTree.AddFile("/u/Documents/letter.odt");
        folderTree.AddFile("/t/x.tmp");
    }

    std::unique_ptr<shell::frmMain> Load() {
        auto window = std::make_unique<shell::frmMain>(services);
        window->Form_Load();
        return window;
    }
    static VbCheckBox* Box(QWidget& window, int index) {
        return window.findChild<VbCheckBox*>(QStringLiteral("chkSettings_%1").arg(index));
    }
    // Indexes of the option boxes a user can see on `page`, top to bottom.
    static std::vector<QString> VisibleBoxes(QWidget* page) {
        std::vector<std::pair<int, QString>> boxes;
        for (auto* box : page->findChildren<VbCheckBox*>()) {
            if (box->isVisibleTo(page)) {
                boxes.emplace_back(box->mapTo(page, QPoint(0, 0)).y(), box->objectName());
            }
        }
        std::sort(boxes.begin(), boxes.end());
        std::vector<QString> names;
        for (const auto& [y, name] : boxes) {
            names.push_back(name);
        }
        return names;
    }
    std::string Setting(const std::string& key) {
        return settings.GetSetting("/opt/orvelle", "Settings", key, "(absent)");
    }

    shell::RegistryLayer layer{registry, messageBox};
};

TEST_F(CleaningPagesTest, EachPageShowsItsControlsInTheirOrder) {
    auto window = Load();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    for (int page = 0; page < 3; ++page) {
        window->tabMain->setCurrentIndex(page);  // lays the page out
    }
    EXPECT_THAT(VisibleBoxes(window->tabMain->widget(1)),
                ElementsAre("chkSettings_2", "chkSettings_3", "chkSettings_6", "chkSettings_7",
                            "chkSettings_9", "chkWebAddress", "chkSettings_15", "chkSettings_14"));
    EXPECT_THAT(VisibleBoxes(window->tabMain->widget(2)),
                ElementsAre("chkSettings_1", "chkSettings_5", "chkSettings_10", "chkSettings_11",
                            "chkSettings_4", "chkSettings_12", "chkSettings_13"));
    EXPECT_THAT(VisibleBoxes(window->tabMain->widget(0)),
                ElementsAre("chkSettings_0", "chkStartup"));

    // Index 8 exists on the Clean Internet page, hidden, with its caption's trailing space.
    VbCheckBox* favorites = Box(*window, 8);
    ASSERT_NE(favorites, nullptr);
    EXPECT_TRUE(window->tabMain->widget(1)->isAncestorOf(favorites));
    EXPECT_FALSE(favorites->isVisibleTo(window.get()));
    EXPECT_EQ(favorites->text(), QStringLiteral("Clear Browser Favorites "));
    EXPECT_EQ(Box(*window, 13)->text(),
              QStringLiteral("Delete Windows start menu \"run\" history"));
    EXPECT_NE(window->findChild<QGroupBox*>(QStringLiteral("fmSettings")), nullptr);
    EXPECT_TRUE(window->findChild<QGroupBox*>(QStringLiteral("fmSettings"))
                    ->isAncestorOf(window->findChild<QWidget*>(QStringLiteral("chkWebAddress"))));

    const std::map<QString, QString> buttons = {
        {QStringLiteral("cmdBasicClean"), QStringLiteral("Clean Computer and Internet")},
        {QStringLiteral("Command2"), QStringLiteral("Clean Internet")},
        {QStringLiteral("cmdDefaultSettings"), QStringLiteral("&Default")},
        {QStringLiteral("Command3"), QStringLiteral("Clean Computer")},
        {QStringLiteral("cmdDefaultSettings1"), QStringLiteral("&Default")},
        {QStringLiteral("cmdHomePage"), QStringLiteral("Set Home Page")}};
    for (const auto& [name, caption] : buttons) {
        auto* button = window->findChild<QPushButton*>(name);
        ASSERT_NE(button, nullptr) << name.toStdString();
        EXPECT_EQ(button->text(), caption);
    }
    // Option 0 sits directly below the log, the home page below it.
    auto* log = window->findChild<QTextEdit*>(QStringLiteral("rtfMessage"));
    ASSERT_NE(log, nullptr);
    EXPECT_TRUE(log->isReadOnly());
    QWidget* mainPage = window->tabMain->widget(0);
    const int logBottom = log->mapTo(mainPage, QPoint(0, log->height())).y();
    const int boxTop = Box(*window, 0)->mapTo(mainPage, QPoint(0, 0)).y();
    EXPECT_GE(boxTop, logBottom);
    EXPECT_LT(boxTop - logBottom, 20);
    auto* homePage = window->findChild<QLineEdit*>(QStringLiteral("txtHomePageURL"));
    EXPECT_GT(homePage->mapTo(mainPage, QPoint(0, 0)).y(), boxTop);
}

TEST_F(CleaningPagesTest, TheLoadStepSetsDefaultsStoredValuesAndTheStartPageWithoutStoring) {
    settings.SaveSetting("/opt/orvelle", "Settings", "Index2", "0");
    auto window = Load();
    std::vector<int> values;
    for (int index = 0; index < 16; ++index) {
        values.push_back(Box(*window, index)->Value());
    }
    EXPECT_THAT(values, ElementsAre(1, 1, 0, 1, 0, 1, 0, 1, 0, 1, 1, 1, 0, 0, 0, 0));
    EXPECT_EQ(window->findChild<VbCheckBox*>(QStringLiteral("chkWebAddress"))->Value(), 1);
    EXPECT_EQ(Setting("Index3"), "(absent)") << "loading stores nothing";
    EXPECT_EQ(window->findChild<QLineEdit*>(QStringLiteral("txtHomePageURL"))->text(),
              QStringLiteral("about:blank"));
    EXPECT_EQ(layer.QueryUserValue("Software\\Microsoft\\Internet Explorer\\Main", "Start Page"),
              "about:blank");
    EXPECT_TRUE(messageBox.shown.empty());
}

TEST_F(CleaningPagesTest, ClicksOnTheBoxesAndButtonsAreStoredAndWritten) {
    auto window = Load();
    window->show();
    window->tabMain->setCurrentIndex(2);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    VbCheckBox* clipboardBox = Box(*window, 12);
    QTest::mouseClick(clipboardBox, Qt::LeftButton, {}, QPoint(6, clipboardBox->height() / 2));
    EXPECT_EQ(clipboardBox->Value(), 1);
    EXPECT_EQ(Setting("Index12"), "1");
    EXPECT_EQ(window->cleaningPages->Options().Value(12), 1);

    window->tabMain->setCurrentIndex(1);
    auto* webAddress = window->findChild<VbCheckBox*>(QStringLiteral("chkWebAddress"));
    QTest::mouseClick(webAddress, Qt::LeftButton, {}, QPoint(6, webAddress->height() / 2));
    EXPECT_EQ(layer.QueryUserValue(cleaning::CleaningOptions::kAutoCompleteKey, "AutoSuggest"),
              "yes");

    Box(*window, 3)->SetValue(0);
    window->findChild<QPushButton*>(QStringLiteral("cmdDefaultSettings1"))->click();
    EXPECT_EQ(Box(*window, 3)->Value(), 1);
    EXPECT_EQ(Setting("Index3"), "1");

    window->tabMain->setCurrentIndex(0);
    auto* homePage = window->findChild<QLineEdit*>(QStringLiteral("txtHomePageURL"));
    homePage->setText(QStringLiteral("https://news.example.org/"));
    window->findChild<QPushButton*>(QStringLiteral("cmdHomePage"))->click();
    EXPECT_EQ(layer.QueryUserValue("Software\\Microsoft\\Internet Explorer\\Main", "Start Page"),
              "https://news.example.org/");
    EXPECT_EQ(settings.GetSetting("Orvelle", "HomePage", "StartPage", ""),
              "https://news.example.org/");
}

TEST_F(CleaningPagesTest, ARunBringsTheWindowUpOnTheMainPageWithTheColouredLog) {
    auto window = Load();
    window->tmrSchedule->start();
    window->hide();  // hidden in the notification area, on another page
    window->tabMain->setCurrentIndex(2);
    QLabel* lastRun = window->schedulePage->lblLastRunTime;

    window->cleaningPages->cmdBasicClean_Click();  // as the schedule calls it

    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->isMinimized());
    EXPECT_EQ(window->tabMain->currentIndex(), 0);
    auto* log = window->findChild<QTextEdit*>(QStringLiteral("rtfMessage"));
    EXPECT_EQ(ColouredText(*log),
              "\r\n<blue>Path: HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\TypedURLs"
              "\r\nErasing 'Auto Complete' Site Addresses ...\r\n<green>Finished Erasing 'Auto "
              "Complete' Site Addresses\r\n<blue>Path: \r\nErasing Recent Files ...\r\n<green>"
              "Finished Erasing Recent Files\r\n<blue>Path: /home/u/.local/share/Trash\r\n"
              "Erasing Contents of Recycle Bin ...\r\n<green>Finished Erasing Contents of Recycle "
              "Bin\r\n<blue>Path: \r\nErasing Browser Cookies ...\r\n<green>Finished Erasing "
              "Browser Cookies\r\n<blue>Path: /u/History\r\nErasing Internet History ...<red>Path "
              "not found\r\n\r\n<green>Finished Erasing Internet History\r\n<blue>Path: /t\r\n"
              "Erasing Windows Temporary Files ...\r\n<green>Finished Erasing Windows Temporary "
              "Files\r\n<black>Done");
    EXPECT_EQ(window->lblStatus->text(),
              QStringLiteral("Ready, with 1 problem: see the red entries in the log"))
        << "the missing History folder";
    EXPECT_EQ(lastRun->text(), QStringLiteral("10:00:00"));
    EXPECT_EQ(window->cleaningPages->LastRunTime(), QStringLiteral("10:00:00"));
    EXPECT_FALSE(window->tmrSchedule->isActive());
    EXPECT_TRUE(window->tmrMakeScehduleEnable->isActive());
    EXPECT_FALSE(folderTree.Exists("/t/x.tmp"));
    EXPECT_TRUE(folderTree.Exists("/u/Documents/letter.odt")) << "option 4 is off by default";
}

TEST_F(CleaningPagesTest, EachPageButtonCleansEverythingAndNothingWhileTheScheduleIsPending) {
    auto window = Load();
    window->show();
    Box(*window, 4)->SetValue(1);                // My Documents, on the Clean Computer page
    window->ScheduleEditor().SetHoursText("5");  // an edit not yet applied
    EXPECT_TRUE(window->IsSchedulePending());

    auto* log = window->findChild<QTextEdit*>(QStringLiteral("rtfMessage"));
    log->setPlainText(QStringLiteral("the last run's log"));
    window->findChild<QPushButton*>(QStringLiteral("Command2"))->click();
    EXPECT_EQ(log->toPlainText(), QStringLiteral("the last run's log"));
    EXPECT_TRUE(folderTree.Exists("/u/Documents/letter.odt"));
    EXPECT_EQ(window->cleaningPages->LastRunTime(), QString());

    window->schedulePage->cmdCancel->click();
    EXPECT_FALSE(window->IsSchedulePending());
    window->findChild<QPushButton*>(QStringLiteral("Command2"))->click();
    EXPECT_FALSE(folderTree.Exists("/u/Documents/letter.odt"))
        << "Clean Internet runs the Clean Computer page's options too";
    const std::string first = QTextEditLogSink::PlainText(*log);

    folderTree.AddFile("/u/Documents/letter.odt");
    window->findChild<QPushButton*>(QStringLiteral("Command3"))->click();
    EXPECT_FALSE(folderTree.Exists("/u/Documents/letter.odt"));
    EXPECT_EQ(QTextEditLogSink::PlainText(*log), first) << "the same complete pass";
}

TEST_F(CleaningPagesTest, AClickOnAnyCleanButtonDuringARunIsIgnored) {
    auto window = Load();
    window->show();
    int clicks = 0;
    eventPump.onDoEvents = [&] {
        ++clicks;
        window->findChild<QPushButton*>(QStringLiteral("cmdBasicClean"))->click();
        window->findChild<QPushButton*>(QStringLiteral("Command3"))->click();
    };
    window->findChild<QPushButton*>(QStringLiteral("Command2"))->click();
    EXPECT_GT(clicks, 10);
    const std::string log =
        QTextEditLogSink::PlainText(*window->findChild<QTextEdit*>(QStringLiteral("rtfMessage")));
    EXPECT_EQ(log.find("Done"), log.rfind("Done"));
    EXPECT_EQ(recycleBin.emptied, 1);
    EXPECT_FALSE(window->cleaningPages->Run().IsRunning());
}

TEST(QTextEditLogSinkTest, CrLfIsOneLineBreakAndASelectionReadsBackWithCrLf) {
    QTextEdit edit;
    edit.setReadOnly(true);
    QTextEditLogSink sink(edit);
    sink.SetColour({0, 0, 255});
    sink.InsertAtCaret("\r\nPath: /t\r\nErasing ...");
    EXPECT_EQ(edit.document()->blockCount(), 3);
    EXPECT_EQ(QTextEditLogSink::PlainText(edit), "\r\nPath: /t\r\nErasing ...");

    QTextCursor cursor = edit.textCursor();
    cursor.setPosition(1);
    cursor.setPosition(13, QTextCursor::KeepAnchor);
    edit.setTextCursor(cursor);
    EXPECT_EQ(sink.SelectedText(), "Path: /t\r\nEra");
    sink.SetColour({255, 0, 0});
    sink.InsertAtCaret(sink.SelectedText() + "\r\nX");
    EXPECT_EQ(QTextEditLogSink::PlainText(edit), "\r\nPath: /t\r\nEra\r\nXsing ...");
    sink.Clear();
    EXPECT_EQ(QTextEditLogSink::PlainText(edit), "");
}

TEST(QtClipboardTest, ClearEmptiesTheClipboard) {
    QGuiApplication::clipboard()->setText(QStringLiteral("a password"));
    ASSERT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("a password"));
    desktop::qt::QtClipboard clipboard;
    clipboard.Clear();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QString());
}

}  // namespace

namespace {

// KDE's clipboard manager as its D-Bus interface shows it, on a private session bus.
constexpr const char* kFakeKlipper = R"(
import sys, dbus, dbus.service, dbus.mainloop.glib
from gi.repository import GLib
dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
bus = dbus.SessionBus()
name = dbus.service.BusName("org.kde.klipper", bus)
class Klipper(dbus.service.Object):
    @dbus.service.method("org.kde.klipper.klipper")
    def clearClipboardHistory(self):
        open(sys.argv[1], "a").write("cleared\n")
Klipper(bus, "/klipper")
open(sys.argv[2], "w").write("ready")
GLib.MainLoop().run()
)";

}  // namespace

TEST(QtClipboardTest, KlipperIsAskedToClearItsHistoryWhereItRuns) {
    test::TempEnvironment environment;
    QProcess daemon;
    daemon.start(QStringLiteral("dbus-daemon"),
                 {QStringLiteral("--session"), QStringLiteral("--nofork"),
                  QStringLiteral("--print-address=1")});
    ASSERT_TRUE(daemon.waitForReadyRead(10000)) << "dbus-daemon is missing";
    const QByteArray address = daemon.readLine().trimmed();
    environment.Set("DBUS_SESSION_BUS_ADDRESS", address.toStdString());
    const QString called = QString::fromStdString(environment.Path("called"));
    const QString ready = QString::fromStdString(environment.Path("ready"));
    QProcess klipper;
    klipper.start(QStringLiteral("/usr/bin/python3"),
                  {QStringLiteral("-c"), QString::fromUtf8(kFakeKlipper), called, ready});
    ASSERT_TRUE(klipper.waitForStarted(10000));
    QElapsedTimer waited;
    waited.start();
    while (!QFile::exists(ready) && waited.elapsed() < 10000 &&
           klipper.state() == QProcess::Running) {
        klipper.waitForFinished(20);
    }
    ASSERT_TRUE(QFile::exists(ready)) << klipper.readAllStandardError().toStdString();

    desktop::qt::QtClipboard clipboard;
    clipboard.Clear();
    EXPECT_EQ(test::ReadFile(called.toStdString()), "cleared\n");
    klipper.kill();
    klipper.waitForFinished();
    daemon.kill();
    daemon.waitForFinished();
}
