#include "FakeDesktop.h"
#include "FakeOs.h"
#include "FakeStore.h"
#include "FakeWindowPlatform.h"
#include "HideShowWindows.h"
#include "MSHook.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>

using namespace orvelle;
using namespace orvelle::os;
using namespace orvelle::desktop;
using namespace orvelle::popup;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

constexpr WindowHandle kMain = 0x400001;
constexpr WindowHandle kEditor = 0x500001;
constexpr WindowHandle kUntitled = 0x500002;
constexpr WindowHandle kBlank = 0x500003;
constexpr WindowHandle kHiddenAlready = 0x500004;
constexpr WindowHandle kProgramManager = 0x500005;
constexpr WindowHandle kSystemAgent = 0x500006;
constexpr WindowHandle kPanel = 0x500007;
constexpr WindowHandle kTerminal = 0x500008;

struct TitleRow {
    const char* title;
    bool hideable;
};

TEST(HideShowWindowsTest, TitlesThatAreHidden) {
    const TitleRow rows[] = {
        {"Editor", true},
        {"", false},
        {"   ", false},
        {"\tTab", true},  // only spaces count as blank
        {"Program Manager", false},
        {"PROGRAM MANAGER", false},
        {"program manager", false},
        {"System Agent COM Window", false},
        {" Program Manager", true},  // the names are compared whole, not trimmed
        {"Program Manager 2", true},
        {"Café ☕", true},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(popup::IsHideableTitle(row.title), row.hideable) << '"' << row.title << '"';
    }
}

class HotKeyTest : public ::testing::Test {
protected:
    HotKeyTest() {
        desktop.Add(kMain, "Orvelle v2.1");
        desktop.Add(kEditor, "notes.txt - Editor");
        desktop.Add(kUntitled, "");
        desktop.Add(kBlank, "    ");
        desktop.Add(kHiddenAlready, "Settings", false);
        desktop.Add(kProgramManager, "Program Manager");
        desktop.Add(kSystemAgent, "SYSTEM AGENT COM WINDOW");
        desktop.Add(kPanel, "Panel", true, true);
        desktop.Add(kTerminal, "Terminal");
        procedures.AddWindow(kMain);
    }

    std::set<WindowHandle> Visible() {
        std::set<WindowHandle> visible;
        for (const auto& [handle, window] : desktop.windows) {
            if (window.visible) {
                visible.insert(handle);
            }
        }
        return visible;
    }

    void PressHotKey() { procedures.Send(kMain, WM_KEYDOWN, kHotKeyMarker, 0); }

    popup::fake::FakeWindowList desktop;
    popup::fake::FakeWindowProcedure procedures;
    popup::fake::FakeHookLibrary library;
    desktop::fake::FakeMessageBox messageBox;
    os::fake::FakeProcessInfo process{"/opt/orvelle", "orvelle"};
    popup::fake::FakeHiddenWindowsFile file;
    popup::HideShowWindows hideShow{desktop, &file};
    popup::MSHook hook{library, procedures, messageBox, process, hideShow, "Orvelle"};
};

TEST_F(HotKeyTest, HideTakesExactlyTheVisibleTitledWindowsAndShowBringsBackThoseOnly) {
    const std::set<WindowHandle> before = Visible();
    hideShow.HideWindows();
    EXPECT_THAT(hideShow.HiddenWindows(), ElementsAre(0, 0, kMain, kEditor, kTerminal));
    EXPECT_EQ(Visible(),
              (std::set<WindowHandle>{kUntitled, kBlank, kProgramManager, kSystemAgent, kPanel}));

    desktop.Add(0x600001, "Opened while hidden");
    desktop.commands.clear();
    hideShow.ShowWindows();
    EXPECT_THAT(desktop.commands,
                ElementsAre(std::pair{kMain, SW_SHOW}, std::pair{kEditor, SW_SHOW},
                            std::pair{kTerminal, SW_SHOW}))
        << "the empty places are skipped and nothing else is touched";
    std::set<WindowHandle> expected = before;
    expected.insert(0x600001);
    EXPECT_EQ(Visible(), expected);

    desktop.commands.clear();
    hideShow.ShowWindows();
    EXPECT_EQ(desktop.commands.size(), 3U) << "the set is kept: a second show shows them again";
    EXPECT_THAT(hideShow.HiddenWindows(), ElementsAre(0, 0, kMain, kEditor, kTerminal));
}

TEST_F(HotKeyTest, InstallLoadsTheLibraryFromTheProgramFolderAndHooksTheMainWindow) {
    hook.InstallKeyboardHook(kMain);
    EXPECT_THAT(library.calls,
                ElementsAre("LoadLibraryA /opt/orvelle/libMSHook.so",
                            "SetWindowsHookExA " + std::to_string(kMain), "LibHook 4242"));
    EXPECT_EQ(hook.HotKeyState(), HotKeyStatus::Active);
    EXPECT_TRUE(hook.ProcedureReplaced());
    EXPECT_TRUE(hook.WindowsShown());
    EXPECT_THAT(messageBox.shown, IsEmpty());
}

TEST_F(HotKeyTest, MarkersAlternateBetweenHidingAndShowingAndAThirdRecordsTheSetAfresh) {
    hook.InstallKeyboardHook(kMain);
    const std::set<WindowHandle> before = Visible();

    PressHotKey();
    EXPECT_FALSE(hook.WindowsShown());
    EXPECT_FALSE(desktop.windows[kMain].visible) << "the main window hides with the others";
    EXPECT_FALSE(desktop.windows[kEditor].visible);
    EXPECT_FALSE(desktop.windows[kTerminal].visible);

    PressHotKey();
    EXPECT_TRUE(hook.WindowsShown());
    EXPECT_EQ(Visible(), before);

    desktop.windows[kEditor].visible = false;  // closed to the tray meanwhile
    desktop.Add(0x600002, "New window");
    PressHotKey();
    EXPECT_THAT(hideShow.HiddenWindows(), ElementsAre(0, 0, kMain, kTerminal, 0x600002));
    PressHotKey();
    EXPECT_FALSE(desktop.windows[kEditor].visible) << "not in the new set, so not shown";
    EXPECT_TRUE(desktop.windows[0x600002].visible);

    // Every marker still reached the window's own handling, unchanged.
    ASSERT_EQ(procedures.delivered.size(), 4U);
    for (const auto& message : procedures.delivered) {
        EXPECT_EQ(message, (popup::fake::FakeWindowProcedure::Delivered{kMain, WM_KEYDOWN,
                                                                        kHotKeyMarker, 0}));
    }
}

TEST_F(HotKeyTest, OtherMessagesPassThroughUnchangedAndLeaveTheDesktopAlone) {
    hook.InstallKeyboardHook(kMain);
    const popup::fake::FakeWindowProcedure::Delivered rows[] = {
        {kMain, WM_KEYDOWN, 'A', 1},  // an ordinary key
        {kMain, WM_KEYDOWN, kHotKeyMarker + 1, 0},
        {kMain, WM_KEYUP, kHotKeyMarker, 0},  // the marker value, but not a key-down
        {kMain, 15, kHotKeyMarker, 0},        // some other message with that value
        {kMain, WM_KEYDOWN, 0, -1},
    };
    for (const auto& row : rows) {
        procedures.ownResult = static_cast<std::intptr_t>(row.wParam) + 3;
        EXPECT_EQ(procedures.Send(kMain, row.message, row.wParam, row.lParam), procedures.ownResult)
            << "the previous procedure's result comes back";
        ASSERT_FALSE(procedures.delivered.empty());
        EXPECT_EQ(procedures.delivered.back(), row);
    }
    EXPECT_EQ(procedures.delivered.size(), std::size(rows));
    EXPECT_TRUE(hook.WindowsShown());
    EXPECT_THAT(desktop.commands, IsEmpty());
}

TEST_F(HotKeyTest, ASecondReplacementSaysSoAndKeepsTheFirst) {
    hook.InstallKeyboardHook(kMain);
    hook.ReplaceWindowProcedure();
    ASSERT_EQ(messageBox.shown.size(), 1U);
    EXPECT_EQ(messageBox.shown[0].text,
              "Don't hook it twice without unhooking, or you will be unable to unhook it.");
    EXPECT_EQ(messageBox.shown[0].title, "Orvelle");
    EXPECT_EQ(procedures.replacements, 1);

    PressHotKey();
    EXPECT_FALSE(hook.WindowsShown()) << "one flip per marker: the procedure is not doubled";
    hook.RemoveKeyboardHook();
    EXPECT_TRUE(hook.WindowsShown()) << "the removal showed the hidden windows";
    PressHotKey();
    EXPECT_TRUE(hook.WindowsShown()) << "after removal the marker reaches only the window";
    EXPECT_EQ(procedures.delivered.size(), 2U);
}

TEST_F(HotKeyTest, RemovalUnhooksBeforeUnloadingAndRestoresTheProcedure) {
    hook.InstallKeyboardHook(kMain);
    library.calls.clear();
    hook.RemoveKeyboardHook();
    EXPECT_THAT(library.calls, ElementsAre("LibUnHook 4242", "FreeLibrary"));
    EXPECT_FALSE(hook.ProcedureReplaced());
    EXPECT_EQ(procedures.replacements, 2);

    hook.RemoveKeyboardHook();
    EXPECT_EQ(procedures.replacements, 2) << "nothing replaced, nothing restored";
    EXPECT_THAT(library.calls, ElementsAre("LibUnHook 4242", "FreeLibrary", "FreeLibrary"));

    hook.InstallKeyboardHook(kMain);
    EXPECT_THAT(messageBox.shown, IsEmpty()) << "a removed hook can be installed again";
}

TEST_F(HotKeyTest, WithoutLibraryOrDisplayTheProgramRunsWithoutTheHotKey) {
    struct Row {
        const char* name;
        bool libraryPresent;
        bool displayPresent;
        HotKeyStatus libraryAnswer;
        HotKeyStatus expected;
    };
    const Row rows[] = {
        {"missing library", false, true, HotKeyStatus::Active, HotKeyStatus::Unavailable},
        {"no X11 display", true, false, HotKeyStatus::Active, HotKeyStatus::Unavailable},
        {"key taken elsewhere", true, true, HotKeyStatus::Taken, HotKeyStatus::Taken},
    };
    for (const auto& row : rows) {
        popup::fake::FakeHookLibrary quietLibrary;
        quietLibrary.libraryPresent = row.libraryPresent;
        quietLibrary.displayPresent = row.displayPresent;
        quietLibrary.status = row.libraryAnswer;
        popup::fake::FakeWindowProcedure windowProcedures;
        windowProcedures.AddWindow(kMain);
        {
            popup::MSHook quietHook(quietLibrary, windowProcedures, messageBox, process, hideShow,
                                    "Orvelle");
            quietHook.InstallKeyboardHook(kMain);
            EXPECT_EQ(quietHook.HotKeyState(), row.expected) << row.name;
            EXPECT_TRUE(quietHook.ProcedureReplaced()) << row.name;
        }
        EXPECT_EQ(windowProcedures.replacements, 2) << row.name << ": restored on destruction";
        EXPECT_EQ(quietLibrary.calls.back(), "FreeLibrary") << row.name;
    }
    EXPECT_THAT(messageBox.shown, IsEmpty()) << "reported quietly, never in a box";
}

TEST_F(HotKeyTest, EndingWithWindowsHiddenShowsThemAfterTheHookIsGone) {
    hook.InstallKeyboardHook(kMain);
    const std::set<WindowHandle> before = Visible();
    PressHotKey();
    ASSERT_NE(Visible(), before);
    library.calls.clear();
    hook.RemoveKeyboardHook();
    EXPECT_EQ(Visible(), before);
    EXPECT_THAT(library.calls, ElementsAre("LibUnHook 4242", "FreeLibrary"));
    EXPECT_FALSE(file.content.has_value()) << "nothing is left hidden, so nothing is listed";
}

TEST_F(HotKeyTest, ShowGivesEachWindowBackItsPlaceAndStateAfterTheMap) {
    WindowPlacement maximised{0, 19, 1280, 781, true, true, false, false, 1U};
    WindowPlacement sticky{40, 60, 400, 300, false, false, false, true, 0xFFFFFFFFU};
    desktop.windows[kEditor].placement = maximised;
    desktop.windows[kTerminal].placement = sticky;
    hideShow.HideWindows();
    ASSERT_EQ(desktop.windows[kEditor].placement, WindowPlacement{}) << "the desktop forgot it";
    desktop.commands.clear();
    hideShow.ShowWindows();
    EXPECT_EQ(desktop.windows[kEditor].placement, maximised);
    EXPECT_EQ(desktop.windows[kTerminal].placement, sticky);
    ASSERT_EQ(desktop.placed.size(), 3U);
    EXPECT_EQ(desktop.placed[1].first, kEditor);
    EXPECT_EQ(desktop.commands[1], (std::pair{kEditor, SW_SHOW})) << "placed once it is mapped";

    desktop.placed.clear();
    desktop.windows[kEditor].visible = false;
    desktop.windows[kEditor].placement = WindowPlacement{};
    hideShow.ShowWindow(kEditor);
    EXPECT_EQ(desktop.windows[kEditor].placement, maximised) << "one window, the same way";
}

TEST_F(HotKeyTest, TheFileListsEveryHiddenWindowAsItIsHiddenAndShowingEmptiesIt) {
    desktop.windows[kEditor].placement = {5, 6, 7, 8, false, true, true, false, std::nullopt};
    desktop.windows[kEditor].title = "notes 2.txt - Editor";
    hideShow.HideWindows();
    EXPECT_EQ(file.writes, 3) << "written at each window, before it is hidden";
    ASSERT_TRUE(file.content.has_value());
    const auto listed = popup::HideShowWindows::ParseList(*file.content);
    ASSERT_EQ(listed.size(), 3U);
    EXPECT_EQ(listed[1], (popup::HideShowWindows::Hidden{
                             kEditor, "notes 2.txt - Editor",
                             WindowPlacement{5, 6, 7, 8, false, true, true, false, std::nullopt}}));
    hideShow.ShowWindows();
    EXPECT_FALSE(file.content.has_value());
}

TEST_F(HotKeyTest, AStartAfterACrashShowsOnlyTheListedWindowsThatAreStillTheSameAndHidden) {
    const WindowPlacement place{100, 120, 300, 200, false, false, false, false, 2U};
    desktop.Add(0x700001, "Still hidden", false);
    desktop.Add(0x700002, "Shown meanwhile", true);
    desktop.Add(0x700003, "Another window now", false);
    using Hidden = popup::HideShowWindows::Hidden;
    file.content = popup::HideShowWindows::FormatList({
                       Hidden{0x700001, "Still hidden", place},
                       Hidden{0x700002, "Shown meanwhile", place},
                       Hidden{0x700003, "The window that had this id", place},
                       Hidden{0x7000ff, "Closed since", place},
                   }) +
                   "0x12 not a line\n";
    hideShow.ShowLeftOverWindows();
    EXPECT_TRUE(desktop.windows[0x700001].visible);
    EXPECT_EQ(desktop.windows[0x700001].placement, place);
    EXPECT_FALSE(desktop.windows[0x700003].visible) << "an id given to another window";
    EXPECT_THAT(desktop.commands, ElementsAre(std::pair{WindowHandle{0x700001}, SW_SHOW}));
    EXPECT_FALSE(file.content.has_value()) << "the list has done its work";

    file.content = "some other file\n1 2 3 4 5 0000 - x\n";
    hideShow.ShowLeftOverWindows();
    EXPECT_EQ(desktop.commands.size(), 1U) << "a file that is not our list shows nothing";
}

}  // namespace
