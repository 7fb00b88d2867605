#include "FakeDesktop.h"
#include "FakeOs.h"
#include "FakeStore.h"
#include "HideShowWindows.h"
#include "MSHook.h"
#include "ProgramServices.h"
#include "QtWindowProcedure.h"
#include "TempEnvironment.h"
#include "X11TestClient.h"
#include "X11WindowList.h"
#include "frmAbout.h"
#include "frmMain.h"
#include "mshook/mshook.h"

#include <X11/keysym.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QTest>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>

using namespace orvelle;
using namespace orvelle::desktop;
using namespace orvelle::popup;
using orvelle::test::X11TestClient;
using ::testing::IsEmpty;

namespace {

bool WithWindowManager() {
    const char* manager = std::getenv("ORVELLE_TEST_WINDOW_MANAGER");
    return manager != nullptr && std::string(manager) == "openbox";
}

// Sees the key presses that reach a widget past every filter installed after it.
class KeyRecorder final : public QObject {
public:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            keys.push_back(static_cast<QKeyEvent*>(event)->key());
        }
        return false;
    }
    std::vector<int> keys;
};

bool Contains(const std::vector<int>& keys, int key) {
    return std::find(keys.begin(), keys.end(), key) != keys.end();
}

// The program's main window with its real services on the test's X server.
class HotKeyEndToEndTest : public ::testing::Test {
protected:
    std::unique_ptr<shell::frmMain> Load(KeyRecorder* recorder) {
        auto window = std::make_unique<shell::frmMain>(posix->services);
        if (recorder != nullptr) {
            window->installEventFilter(recorder);
        }
        window->Form_Load();
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        EXPECT_TRUE(desktop.WaitForMapState(window->winId(), X11TestClient::kViewable));
        return window;
    }

    std::set<WindowHandle> HiddenSet(const shell::frmMain& window) const {
        const auto& hidden = window.WindowHiding().HiddenWindows();
        EXPECT_GE(hidden.size(), 2U);
        EXPECT_EQ(hidden[0], 0U);
        EXPECT_EQ(hidden[1], 0U);
        return {hidden.begin() + 2, hidden.end()};
    }

    // The third press records the visible set afresh.
    void ThirdPressRecordsTheVisibleSetAfresh(shell::frmMain& window,
                                              X11TestClient::Window mainWindow,
                                              X11TestClient::Window editor,
                                              X11TestClient::Window cafe) {
        desktop.Withdraw(editor);
        ASSERT_TRUE(desktop.WaitForMapState(editor, X11TestClient::kUnmapped));
        const X11TestClient::Window late = desktop.CreateWindow("Opened later", true);
        ASSERT_TRUE(desktop.WaitForMapState(late, X11TestClient::kViewable));
        desktop.PressHotKey();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !window.KeyboardHook().WindowsShown(); }, 5000));
        EXPECT_EQ(HiddenSet(window), (std::set<WindowHandle>{mainWindow, cafe, late}));
        window.mnuShow_Click();
        EXPECT_TRUE(
            desktop.WaitForMapState(mainWindow, X11TestClient::kViewable, std::chrono::seconds(2)))
            << "the tray menu brings the hidden main window back";
        EXPECT_EQ(desktop.MapState(cafe), X11TestClient::kUnmapped);
        desktop.PressHotKey();
        ASSERT_TRUE(QTest::qWaitFor([&] { return window.KeyboardHook().WindowsShown(); }, 5000));
        EXPECT_TRUE(
            desktop.WaitForMapState(late, X11TestClient::kViewable, std::chrono::seconds(2)));
        EXPECT_EQ(desktop.MapState(editor), X11TestClient::kUnmapped) << "not in the new set";
    }

    void AboutBoxNamesTheHotKey(shell::frmMain& window) const {
        EXPECT_EQ(posix->hookLibrary.HotKeyName(), MSHOOK_HOT_KEY_NAME);
        const shell::frmAbout about(&window, window.KeyboardHook().HotKeyState(),
                                    posix->hookLibrary.HotKeyName());
        EXPECT_TRUE(about.lblCopyRight->text().contains(QString::fromLatin1(MSHOOK_HOT_KEY_NAME)))
            << "the About box names the key the library grabs";
    }

    test::TempEnvironment environment;
    desktop::fake::FakeMessageBox messageBox;
    std::unique_ptr<wiring::ProgramServices> posix =
        std::make_unique<wiring::ProgramServices>(&messageBox);
    X11TestClient desktop;
};

TEST_F(HotKeyEndToEndTest, TheHotKeyHidesExactlyTheVisibleTitledWindowsAndShowsThemAgain) {
    ASSERT_TRUE(desktop.Connected());
    EXPECT_EQ(desktop.WindowManagerRuns(), WithWindowManager());
    KeyRecorder recorder;
    auto window = Load(&recorder);
    ASSERT_EQ(window->KeyboardHook().HotKeyState(), HotKeyStatus::Active);
    const auto mainWindow = static_cast<X11TestClient::Window>(window->winId());

    const X11TestClient::Window editor = desktop.CreateWindow("notes.txt - Editor", true);
    const X11TestClient::Window cafe = desktop.CreateWindow("Café ☕ menu", true, "", true);
    const X11TestClient::Window untitled = desktop.CreateWindow(std::nullopt, true);
    const X11TestClient::Window blank = desktop.CreateWindow("   ", true);
    const X11TestClient::Window programManager = desktop.CreateWindow("Program Manager", true);
    const X11TestClient::Window panel = desktop.CreateWindow("Panel", true, "DOCK");
    const X11TestClient::Window neverShown = desktop.CreateWindow("Settings", false);
    const std::vector<X11TestClient::Window> untouched = {untitled, blank, programManager, panel};
    for (const X11TestClient::Window shown :
         {editor, cafe, untitled, blank, programManager, panel}) {
        ASSERT_TRUE(desktop.WaitForMapState(shown, X11TestClient::kViewable)) << shown;
    }

    // An ordinary key typed into the main window reaches it past the replaced procedure.
    desktop.Focus(mainWindow);
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    if (QApplication::focusWidget() != nullptr) {
        QApplication::focusWidget()->clearFocus();
    }
    desktop.Tap(XK_a);
    EXPECT_TRUE(QTest::qWaitFor([&] { return Contains(recorder.keys, Qt::Key_A); }, 5000));
    EXPECT_TRUE(window->KeyboardHook().WindowsShown()) << "another key changes nothing";

    desktop.PressHotKey();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->KeyboardHook().WindowsShown(); }, 5000));
    EXPECT_EQ(HiddenSet(*window), (std::set<WindowHandle>{mainWindow, editor, cafe}));
    for (const X11TestClient::Window hidden : {mainWindow, editor, cafe}) {
        EXPECT_EQ(desktop.MapState(hidden), X11TestClient::kUnmapped) << hidden;
    }
    for (const X11TestClient::Window other : untouched) {
        EXPECT_EQ(desktop.MapState(other), X11TestClient::kViewable) << other;
    }
    EXPECT_EQ(desktop.MapState(neverShown), X11TestClient::kUnmapped);

    desktop.PressHotKey();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->KeyboardHook().WindowsShown(); }, 5000));
    for (const X11TestClient::Window shown : {mainWindow, editor, cafe}) {
        EXPECT_TRUE(
            desktop.WaitForMapState(shown, X11TestClient::kViewable, std::chrono::seconds(2)))
            << shown;
    }
    for (const X11TestClient::Window other : untouched) {
        EXPECT_EQ(desktop.MapState(other), X11TestClient::kViewable) << other;
    }
    EXPECT_EQ(desktop.MapState(neverShown), X11TestClient::kUnmapped)
        << "only the hidden ones come back";

    ASSERT_NO_FATAL_FAILURE(
        ThirdPressRecordsTheVisibleSetAfresh(*window, mainWindow, editor, cafe));
    EXPECT_THAT(messageBox.shown, IsEmpty());

    AboutBoxNamesTheHotKey(*window);

    window->cmdClose_Click();
    EXPECT_TRUE(desktop.GrabHotKey()) << "the unload step gave the key back";
    desktop.UngrabHotKey();
}

TEST_F(HotKeyEndToEndTest, AHotKeyTakenElsewhereLeavesTheProgramRunningWithoutIt) {
    ASSERT_TRUE(desktop.Connected());
    ASSERT_TRUE(desktop.GrabHotKey());
    auto window = Load(nullptr);
    EXPECT_EQ(window->KeyboardHook().HotKeyState(), HotKeyStatus::Taken);
    const shell::frmAbout about(window.get(), HotKeyStatus::Taken, posix->hookLibrary.HotKeyName());
    EXPECT_FALSE(about.lblCopyRight->text().contains(QString::fromLatin1(MSHOOK_HOT_KEY_NAME)))
        << "a key the program does not hold is not promised";
    EXPECT_THAT(messageBox.shown, IsEmpty()) << "reported quietly";
    EXPECT_EQ(window->lblStatus->text(), QStringLiteral("Ready"));

    desktop.PressHotKey();
    EXPECT_TRUE(desktop.WaitForKeyPress()) << "the key stays with its owner";
    QTest::qWait(200);
    EXPECT_TRUE(window->KeyboardHook().WindowsShown());
    EXPECT_EQ(desktop.MapState(window->winId()), X11TestClient::kViewable);
    desktop.UngrabHotKey();
}

TEST(QtWindowProcedureTest, KeysAndPostedMessagesGoThroughTheProcedureFirst) {
    QWidget widget;
    KeyRecorder recorder;
    widget.installEventFilter(&recorder);
    widget.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&widget));
    popup::qt::QtWindowProcedure procedures;
    const auto handle = static_cast<WindowHandle>(widget.winId());

    struct Seen {
        std::uint32_t message;
        std::uintptr_t wParam;
        std::intptr_t lParam;
    };
    std::vector<Seen> seen;
    bool passOn = true;
    WindowProc previous;
    previous = procedures.SetWindowLongA(
        handle,
        [&](WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
            std::intptr_t lParam) -> std::intptr_t {
            EXPECT_EQ(window, handle);
            seen.push_back({message, wParam, lParam});
            return passOn ? CallWindowProcA(previous, window, message, wParam, lParam) : 0;
        });
    ASSERT_TRUE(static_cast<bool>(previous)) << "the widget's own handling";

    QTest::keyClick(&widget, Qt::Key_B);
    ASSERT_EQ(seen.size(), 2U);
    EXPECT_EQ(seen[0].message, WM_KEYDOWN);
    EXPECT_EQ(seen[0].wParam, static_cast<std::uintptr_t>('B'));
    EXPECT_EQ(seen[1].message, WM_KEYUP);
    EXPECT_TRUE(Contains(recorder.keys, Qt::Key_B)) << "passed on, the key reaches the widget";

    passOn = false;
    QTest::keyClick(&widget, Qt::Key_C);
    EXPECT_EQ(seen.size(), 4U);
    EXPECT_FALSE(Contains(recorder.keys, Qt::Key_C)) << "kept back, it does not";

    EXPECT_TRUE(popup::qt::QtWindowProcedure::PostMessageA(handle, WM_KEYDOWN, kHotKeyMarker, 0));
    EXPECT_EQ(seen.size(), 4U) << "a posted message waits for the event loop";
    QCoreApplication::processEvents();
    ASSERT_EQ(seen.size(), 5U);
    EXPECT_EQ(seen[4].message, WM_KEYDOWN);
    EXPECT_EQ(seen[4].wParam, kHotKeyMarker);
    EXPECT_FALSE(popup::qt::QtWindowProcedure::PostMessageA(0x7fff0001, WM_KEYDOWN, 1, 0));

    const WindowProc ours = procedures.SetWindowLongA(handle, previous);
    EXPECT_TRUE(static_cast<bool>(ours));
    QTest::keyClick(&widget, Qt::Key_D);
    EXPECT_EQ(seen.size(), 5U) << "restored: the procedure sees nothing more";
    EXPECT_TRUE(Contains(recorder.keys, Qt::Key_D));
    EXPECT_FALSE(static_cast<bool>(procedures.SetWindowLongA(0x7fff0001, previous)));
}

TEST(X11WindowListTest, TitlesTypesVisibilityAndTheTopLevelList) {
    X11TestClient desktop;
    ASSERT_TRUE(desktop.Connected());
    popup::x11::X11WindowList list;
    const X11TestClient::Window latin = desktop.CreateWindow("Caf\xe9", true);
    const X11TestClient::Window utf8 = desktop.CreateWindow("Ünïcode ☕", true, "", true);
    std::string longTitle = "x";
    for (int i = 0; i < 200; ++i) {
        longTitle += "é";
    }
    const X11TestClient::Window longOne = desktop.CreateWindow(longTitle, true, "", true);
    const X11TestClient::Window dock = desktop.CreateWindow("Panel", true, "DOCK");
    const X11TestClient::Window desktopWindow = desktop.CreateWindow("Desktop", true, "DESKTOP");
    const X11TestClient::Window unmapped = desktop.CreateWindow("Settings", false);
    const X11TestClient::Window menu = desktop.CreateOverrideRedirect();
    for (const X11TestClient::Window window : {latin, utf8, longOne, dock, desktopWindow}) {
        ASSERT_TRUE(desktop.WaitForMapState(window, X11TestClient::kViewable));
    }

    EXPECT_EQ(list.GetWindowTextA(latin, 255), "Café") << "WM_NAME is Latin-1";
    EXPECT_EQ(list.GetWindowTextA(utf8, 255), "Ünïcode ☕");
    const std::string cut = list.GetWindowTextA(longOne, 255);
    EXPECT_EQ(cut.size(), 255U) << "one ASCII byte and 127 two-byte characters";
    EXPECT_EQ(cut, longTitle.substr(0, 255));
    EXPECT_EQ(list.GetWindowTextA(longOne, 254), longTitle.substr(0, 253))
        << "a character that does not fit is left out whole";
    EXPECT_TRUE(list.IsDesktopWindow(dock));
    EXPECT_TRUE(list.IsDesktopWindow(desktopWindow));
    EXPECT_FALSE(list.IsDesktopWindow(latin));
    EXPECT_TRUE(list.IsWindowVisible(latin));
    EXPECT_FALSE(list.IsWindowVisible(unmapped));

    const auto windows = list.EnumWindows();
    const auto listed = [&](X11TestClient::Window window) {
        return std::find(windows.begin(), windows.end(), window) != windows.end();
    };
    for (const X11TestClient::Window window : {latin, utf8, longOne}) {
        EXPECT_TRUE(listed(window)) << window;
    }
    EXPECT_FALSE(listed(menu)) << "a window that bypasses the manager is no top-level window";
    EXPECT_EQ(listed(unmapped), !WithWindowManager())
        << "a manager lists only what it manages; without one every window counts";

    desktop.Focus(latin, true);
    EXPECT_TRUE(list.ShowWindow(latin, SW_HIDE));
    EXPECT_EQ(desktop.MapState(latin), X11TestClient::kUnmapped);
    EXPECT_NE(desktop.FocusedWindow(), 0U) << "hiding the focused window leaves the keys working";
    EXPECT_TRUE(list.ShowWindow(latin, SW_SHOW));
    EXPECT_EQ(desktop.MapState(latin), X11TestClient::kViewable)
        << "shown means mapped when the call returns";
    EXPECT_TRUE(list.ShowWindow(latin, SW_SHOW)) << "showing a shown window is no failure";

    desktop.Destroy(utf8);
    EXPECT_FALSE(list.ShowWindow(utf8, SW_SHOW));
    EXPECT_FALSE(list.ShowWindow(utf8, SW_HIDE));
    EXPECT_EQ(list.GetWindowTextA(utf8, 255), "");
    EXPECT_FALSE(list.IsWindowVisible(utf8));
}

}  // namespace
