#include "FakeAppServices.h"
#include "FakeDesktop.h"
#include "FakeOs.h"
#include "FakeStore.h"
#include "FakeWindowPlatform.h"
#include "HideShowWindows.h"
#include "MSHook.h"
#include "RegistrySettingsStore.h"
#include "ScheduleEditor.h"
#include "SchedulePage.h"
#include "SecondTimer.h"
#include "SqliteRegistry.h"
#include "Version.h"
#include "frmMain.h"

#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace orvelle;
using namespace orvelle::store;
using namespace orvelle::desktop;
using namespace orvelle::popup;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

// The main window's computer facts, web links and hot key, over recording fakes.
class frmMainSystemTest : public ::testing::Test, protected test::FakeAppServices {
protected:
    frmMainSystemTest() { tempPath.path = "/tmp/u/"; }

    std::unique_ptr<shell::frmMain> Load() {
        auto window = std::make_unique<shell::frmMain>(services);
        mainWindow = static_cast<WindowHandle>(window->winId());
        windowProcedure.AddWindow(mainWindow);
        desktop.Add(mainWindow, "Orvelle v2.1");
        desktop.Add(0x777, "Editor");
        window->Form_Load();
        return window;
    }

    popup::fake::FakeWindowList& desktop = windowList;
    WindowHandle mainWindow = 0;
};

TEST_F(frmMainSystemTest, TheMainPageShowsThisComputerAndTheMakersAddress) {
    auto window = Load();
    EXPECT_EQ(window->lblUser->text(), QStringLiteral("User DESKTOP-7"));
    EXPECT_EQ(window->lblOS->text(), QStringLiteral("Debian GNU/Linux 12 (bookworm)"));
    EXPECT_EQ(window->Label12->text(), QStringLiteral("Your LAN IP address is:"));
    EXPECT_EQ(window->Label13->text(), QStringLiteral("192.168.1.20"));
    EXPECT_EQ(window->lblWebSite->text(), QString::fromUtf8(shell::kCompanyName));
    EXPECT_EQ(window->Label9->text(), QString::fromUtf8(shell::kCompanyName));
    EXPECT_EQ(window->lblStatus->text(), QStringLiteral("Ready"));
    EXPECT_THAT(messageBox.shown, IsEmpty());
}

TEST_F(frmMainSystemTest, LoadHooksTheHotKeyToThisWindowAndUnloadTakesItAway) {
    auto window = Load();
    EXPECT_THAT(hookLibrary.calls,
                ElementsAre("LoadLibraryA /opt/orvelle/libMSHook.so",
                            "SetWindowsHookExA " + std::to_string(mainWindow), "LibHook 4242"));
    EXPECT_EQ(window->KeyboardHook().HotKeyState(), HotKeyStatus::Active);

    windowProcedure.Send(mainWindow, WM_KEYDOWN, kHotKeyMarker, 0);
    EXPECT_FALSE(window->KeyboardHook().WindowsShown());
    EXPECT_THAT(window->WindowHiding().HiddenWindows(), ElementsAre(0, 0, mainWindow, 0x777));
    windowProcedure.Send(mainWindow, WM_KEYDOWN, kHotKeyMarker, 0);
    EXPECT_TRUE(desktop.windows[mainWindow].visible);
    EXPECT_TRUE(desktop.windows[0x777].visible);

    // Hidden by the hot key, the window still comes back from the tray icon, alone.
    windowProcedure.Send(mainWindow, WM_KEYDOWN, kHotKeyMarker, 0);
    ASSERT_FALSE(desktop.windows[mainWindow].visible);
    tray.Fire(shell::frmMain::kWmLButtonDblClk);
    EXPECT_TRUE(desktop.windows[mainWindow].visible);
    EXPECT_FALSE(desktop.windows[0x777].visible);
    windowProcedure.Send(mainWindow, WM_KEYDOWN, kHotKeyMarker, 0);
    EXPECT_TRUE(desktop.windows[0x777].visible) << "the next press shows the others";

    window->cmdClose_Click();
    ASSERT_TRUE(window->IsUnloaded());
    EXPECT_EQ(hookLibrary.calls[hookLibrary.calls.size() - 2], "LibUnHook 4242");
    EXPECT_EQ(hookLibrary.calls.back(), "FreeLibrary");
    EXPECT_FALSE(window->KeyboardHook().ProcedureReplaced());
    windowProcedure.Send(mainWindow, WM_KEYDOWN, kHotKeyMarker, 0);
    EXPECT_TRUE(window->KeyboardHook().WindowsShown()) << "the window handles its messages alone";
}

TEST_F(frmMainSystemTest, AWindowWithoutTheHotKeyLoadsWholeAndQuietly) {
    hookLibrary.libraryPresent = false;
    auto window = Load();
    EXPECT_EQ(window->KeyboardHook().HotKeyState(), HotKeyStatus::Unavailable);
    EXPECT_EQ(window->lblStatus->text(), QStringLiteral("Ready"));
    EXPECT_THAT(messageBox.shown, IsEmpty());
}

TEST_F(frmMainSystemTest, ClickingEitherWebLabelOpensItsAddress) {
    auto window = Load();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    window->tabMain->setCurrentIndex(shell::frmMain::kMainPage);
    QTest::mouseClick(window->lblWebSite, Qt::LeftButton);
    QTest::mouseClick(window->Label9, Qt::LeftButton);
    QTest::mouseClick(window->Label9, Qt::RightButton);  // only the left button opens
    ASSERT_EQ(shellExecute.started.size(), 2U);
    const std::string quoted = std::string("\"") + shell::kCompanyName + "\"";
    for (const auto& started : shellExecute.started) {
        EXPECT_EQ(started.file, shellExecute.associated);
        EXPECT_EQ(started.parameters, quoted);
        EXPECT_EQ(started.parent, mainWindow);
    }
    EXPECT_THAT(tempFile.removed,
                ElementsAre("/run/user/1000/temphtm.htm", "/run/user/1000/temphtm.htm"));

    shellExecute.findResult = SE_ERR_NOASSOC;
    QTest::mouseClick(window->lblWebSite, Qt::LeftButton);
    ASSERT_EQ(messageBox.shown.size(), 1U);
    EXPECT_EQ(messageBox.shown[0].title, "Browser Not Found") << "its own message, no error box";
}

TEST_F(frmMainSystemTest, TheUnloadStepStopsTheScheduleAndShowsWhatTheHotKeyHid) {
    auto window = Load();
    window->tmrMakeScehduleEnable->start();
    windowProcedure.Send(mainWindow, WM_KEYDOWN, kHotKeyMarker, 0);
    ASSERT_FALSE(desktop.windows[0x777].visible);
    ASSERT_TRUE(hiddenWindows.content.has_value());
    window->cmdClose_Click();
    EXPECT_FALSE(window->tmrSchedule->isActive());
    EXPECT_FALSE(window->tmrMakeScehduleEnable->isActive());
    EXPECT_TRUE(desktop.windows[0x777].visible);
    EXPECT_TRUE(desktop.windows[mainWindow].visible);
    EXPECT_FALSE(hiddenWindows.content.has_value());
}

TEST_F(frmMainSystemTest, AScheduledRunWhileTheHotKeyHidesEverythingStaysUnseenUntilItShows) {
    auto window = Load();
    window->ScheduleEditor().UserEditsTime(schedule::TimeOfDay{10, 0, 0});
    window->schedulePage->cmdApply->click();
    window->tabMain->setCurrentIndex(2);
    window->hide();  // in the tray when the user hides the desktop
    windowProcedure.Send(mainWindow, WM_KEYDOWN, kHotKeyMarker, 0);
    ASSERT_FALSE(desktop.windows[0x777].visible);
    window->tmrSchedule_Timer();
    EXPECT_EQ(window->schedulePage->lblLastRunTime->text(), QStringLiteral("10:00:00"))
        << "the run was done";
    EXPECT_FALSE(window->isVisible()) << "nothing of the program appears on a hidden desktop";
    EXPECT_FALSE(desktop.windows[mainWindow].visible);
    EXPECT_FALSE(desktop.windows[0x777].visible);

    windowProcedure.Send(mainWindow, WM_KEYDOWN, kHotKeyMarker, 0);
    EXPECT_TRUE(desktop.windows[0x777].visible);
    EXPECT_TRUE(window->isVisible()) << "the run's window comes with the others";
    EXPECT_EQ(window->tabMain->currentIndex(), 0) << "on the page with the log";

    // Shown once: the next hide and show leave the tray alone.
    window->hide();
    windowProcedure.Send(mainWindow, WM_KEYDOWN, kHotKeyMarker, 0);
    windowProcedure.Send(mainWindow, WM_KEYDOWN, kHotKeyMarker, 0);
    EXPECT_FALSE(window->isVisible());
}

TEST_F(frmMainSystemTest, AStartAfterACrashShowsWhatTheLastCopyLeftHidden) {
    const WindowPlacement place{100, 120, 300, 200, true, true, false, false, 0U};
    hiddenWindows.content =
        popup::HideShowWindows::FormatList({popup::HideShowWindows::Hidden{0x777, "Editor", place},
                                            {0x999, "Orvelle v2.1", std::nullopt}});
    auto window = std::make_unique<shell::frmMain>(services);
    desktop.Add(0x777, "Editor", false);
    window->Form_Load();
    EXPECT_TRUE(desktop.windows[0x777].visible);
    EXPECT_EQ(desktop.windows[0x777].placement, place);
    EXPECT_FALSE(hiddenWindows.content.has_value());
}

}  // namespace
