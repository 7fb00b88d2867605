#include "X11TestClient.h"
#include "XcbHandles.h"
#include "mshook/mshook.h"

#include <X11/keysym.h>
#include <poll.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

using namespace orvelle::desktop::x11;
using orvelle::test::X11TestClient;

namespace {

struct Posted {
    std::uint64_t window;
    std::uint32_t message;
    std::uintptr_t wParam;
    std::intptr_t lParam;
};

void Record(void* context, std::uint64_t window, std::uint32_t message, std::uintptr_t wParam,
            std::intptr_t lParam) {
    static_cast<std::vector<Posted>*>(context)->push_back({window, message, wParam, lParam});
}

// The library on a connection of the test's own, with the events read the way the program's
// event loop reads them.
class HookLibraryTest : public ::testing::Test {
protected:
    HookLibraryTest() : connection_(xcb_connect(nullptr, nullptr)) {
        hook.size = sizeof(mshook_hook);
        hook.connection = connection_.get();
        hook.root = xcb_setup_roots_iterator(xcb_get_setup(connection_.get())).data->root;
        hook.window = 0x1234567;
        hook.post_message = &Record;
        hook.context = &posted;
        hotKeyCode = client.KeyCode(XK_h);
    }
    ~HookLibraryTest() override {
        static_cast<void>(LibUnHook(&hook));
        client.SetLock(XK_Num_Lock, "Num Lock", false);
        client.SetLock(XK_Caps_Lock, "Caps Lock", false);
    }

    // Reads events until `keyEvents` key events came or half a second passed without any,
    // handing each key event to the hook procedure as the program's filter does.
    std::vector<xcb_key_press_event_t> Pump(std::size_t keyEvents) {
        std::vector<xcb_key_press_event_t> seen;
        while (seen.size() < keyEvents) {
            XcbEvent event(xcb_poll_for_event(connection_.get()));
            if (!event) {
                pollfd wait{xcb_get_file_descriptor(connection_.get()), POLLIN, 0};
                if (::poll(&wait, 1, 500) <= 0) {
                    break;
                }
                continue;
            }
            const auto type = event->response_type & 0x7FU;
            if (event->response_type == 0) {
                ++errorEvents;
            } else if (type == XCB_KEY_PRESS || type == XCB_KEY_RELEASE) {
                const auto* key = reinterpret_cast<const xcb_key_press_event_t*>(event.get());
                seen.push_back(*key);
                consumed += SSKeyBoardHook(MSHOOK_HC_ACTION, key->detail,
                                           reinterpret_cast<std::intptr_t>(key));
            }
        }
        return seen;
    }

    xcb_key_press_event_t Synthetic(std::uint8_t type, std::uint16_t state, std::uint32_t time,
                                    xcb_keycode_t code = 0) const {
        xcb_key_press_event_t event{};
        event.response_type = type;
        event.detail = code == 0 ? hotKeyCode : code;
        event.event = hook.root;
        event.root = hook.root;
        event.state = state;
        event.time = time;
        return event;
    }
    std::intptr_t Feed(const xcb_key_press_event_t& event) {
        return SSKeyBoardHook(MSHOOK_HC_ACTION, event.detail,
                              reinterpret_cast<std::intptr_t>(&event));
    }

    X11TestClient client;
    XcbConnection connection_;
    mshook_hook hook{};
    std::vector<Posted> posted;
    xcb_keycode_t hotKeyCode = 0;
    int errorEvents = 0;
    std::intptr_t consumed = 0;
};

constexpr std::uint16_t kCtrlAlt = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1;

TEST_F(HookLibraryTest, EachPressOfTheHotKeyPostsOneMarkerWhateverTheLocks) {
    ASSERT_EQ(LibHook(&hook), MSHOOK_OK);
    struct Row {
        const char* name;
        bool numLock;
        bool capsLock;
        std::uint16_t lockBits;
    };
    const Row rows[] = {
        {"no locks", false, false, 0},
        {"NumLock", true, false, XCB_MOD_MASK_2},
        {"CapsLock", false, true, XCB_MOD_MASK_LOCK},
        {"both", true, true, XCB_MOD_MASK_2 | XCB_MOD_MASK_LOCK},
    };
    for (const auto& row : rows) {
        client.SetLock(XK_Num_Lock, "Num Lock", row.numLock);
        client.SetLock(XK_Caps_Lock, "Caps Lock", row.capsLock);
        posted.clear();
        consumed = 0;
        // A press in the very millisecond of the last release is taken for the key repeating,
        // as no hand can press twice that fast; typed by XTEST it could happen.
        std::this_thread::sleep_for(std::chrono::milliseconds(3));
        client.PressHotKey();
        const auto seen = Pump(2);
        ASSERT_EQ(seen.size(), 2U) << row.name << ": the press and the release reach the grab";
        EXPECT_EQ(seen[0].state & (XCB_MOD_MASK_2 | XCB_MOD_MASK_LOCK), row.lockBits) << row.name;
        ASSERT_EQ(posted.size(), 1U) << row.name;
        EXPECT_EQ(posted[0].window, hook.window);
        EXPECT_EQ(posted[0].message, MSHOOK_WM_KEYDOWN);
        EXPECT_EQ(posted[0].wParam, MSHOOK_MARKER);
        EXPECT_EQ(posted[0].lParam, 0);
        EXPECT_EQ(consumed, 2) << row.name << ": both events are used up";
    }
    EXPECT_EQ(errorEvents, 0);
}

TEST_F(HookLibraryTest, OtherKeysAndForeignEventsGoOnUntouched) {
    ASSERT_EQ(LibHook(&hook), MSHOOK_OK);
    client.Tap(XK_j, {XK_Control_L, XK_Alt_L});
    client.Tap(XK_h, {XK_Control_L});
    client.Tap(XK_h, {XK_Shift_L, XK_Control_L, XK_Alt_L});
    EXPECT_TRUE(Pump(1).empty()) << "only the hot key itself is grabbed";

    const xcb_keycode_t otherCode = client.KeyCode(XK_j);
    xcb_key_press_event_t foreignWindow = Synthetic(XCB_KEY_PRESS, kCtrlAlt, 10);
    foreignWindow.event = 0x2a00001;
    const struct {
        const char* name;
        xcb_key_press_event_t event;
    } rows[] = {
        {"another key", Synthetic(XCB_KEY_PRESS, kCtrlAlt, 10, otherCode)},
        {"shift as well", Synthetic(XCB_KEY_PRESS, kCtrlAlt | XCB_MOD_MASK_SHIFT, 10)},
        {"ctrl only", Synthetic(XCB_KEY_PRESS, XCB_MOD_MASK_CONTROL, 10)},
        {"typed into a window", foreignWindow},
        {"a button press", Synthetic(XCB_BUTTON_PRESS, kCtrlAlt, 10)},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(Feed(row.event), 0) << row.name;
    }
    const xcb_key_press_event_t press = Synthetic(XCB_KEY_PRESS, kCtrlAlt, 10);
    EXPECT_EQ(SSKeyBoardHook(1, press.detail, reinterpret_cast<std::intptr_t>(&press)), 0)
        << "not an action code";
    EXPECT_EQ(SSKeyBoardHook(MSHOOK_HC_ACTION, press.detail, 0), 0);
    EXPECT_TRUE(posted.empty());
}

TEST_F(HookLibraryTest, AHeldKeyIsOnePressWithOrWithoutDetectableRepeat) {
    ASSERT_EQ(LibHook(&hook), MSHOOK_OK);
    const std::uint16_t numLockOn = kCtrlAlt | XCB_MOD_MASK_2;
    const xcb_key_press_event_t events[] = {
        Synthetic(XCB_KEY_PRESS, kCtrlAlt, 1000),
        // repeat as the server sends it without detectable repeat: release and press at once
        Synthetic(XCB_KEY_RELEASE, kCtrlAlt, 1660),
        Synthetic(XCB_KEY_PRESS, kCtrlAlt, 1660),
        Synthetic(XCB_KEY_RELEASE, kCtrlAlt, 1700),
        Synthetic(XCB_KEY_PRESS, kCtrlAlt, 1700),
        Synthetic(XCB_KEY_RELEASE, XCB_MOD_MASK_CONTROL, 1800),  // Alt let go first
        // pressed again: a new press
        Synthetic(XCB_KEY_PRESS, numLockOn, 3000),
        // repeat with detectable repeat: presses without releases
        Synthetic(XCB_KEY_PRESS, numLockOn, 3660),
        Synthetic(XCB_KEY_PRESS, numLockOn, 3700),
        Synthetic(XCB_KEY_RELEASE, numLockOn, 3750),
        Synthetic(XCB_KEY_PRESS, kCtrlAlt, 3760),  // a quick real press after a release
        Synthetic(XCB_KEY_RELEASE, kCtrlAlt, 3800),
    };
    for (const auto& event : events) {
        EXPECT_EQ(Feed(event), 1) << "every event of the hot key is used up, time " << event.time;
    }
    EXPECT_EQ(posted.size(), 3U);
}

TEST_F(HookLibraryTest, AKeyTakenByAnotherClientIsReportedAndNothingStaysGrabbed) {
    ASSERT_TRUE(client.GrabHotKey());
    EXPECT_EQ(LibHook(&hook), MSHOOK_KEY_TAKEN);
    EXPECT_STREQ(mshook_status_text(MSHOOK_KEY_TAKEN), "the hot key is taken by another program");
    EXPECT_EQ(LibUnHook(&hook), MSHOOK_INVALID_HOOK) << "a refused hook is not kept";

    client.PressHotKey();
    EXPECT_TRUE(client.WaitForKeyPress()) << "the key still belongs to the other client";
    EXPECT_TRUE(Pump(1).empty());
    EXPECT_EQ(errorEvents, 0) << "the refusal never arrives later as an error event";

    client.UngrabHotKey();
    client.SetLock(XK_Num_Lock, "Num Lock", true);
    client.PressHotKey();
    EXPECT_TRUE(Pump(1).empty()) << "the combinations that were granted were given back";
    EXPECT_TRUE(posted.empty());

    EXPECT_EQ(LibHook(&hook), MSHOOK_OK) << "once free, the key can be had";
}

TEST_F(HookLibraryTest, HandlesAreCheckedAtEveryEntry) {
    EXPECT_EQ(mshook_version(), MSHOOK_VERSION);
    EXPECT_STREQ(mshook_hot_key_name(), "Ctrl+Alt+H");
    EXPECT_EQ(LibHook(nullptr), MSHOOK_INVALID_HOOK);
    mshook_hook wrongSize = hook;
    wrongSize.size = sizeof(mshook_hook) - 8;
    EXPECT_EQ(LibHook(&wrongSize), MSHOOK_INVALID_HOOK);
    mshook_hook noReceiver = hook;
    noReceiver.post_message = nullptr;
    EXPECT_EQ(LibHook(&noReceiver), MSHOOK_INVALID_HOOK);

    ASSERT_EQ(LibHook(&hook), MSHOOK_OK);
    EXPECT_EQ(LibHook(&hook), MSHOOK_OK) << "the same hook again changes nothing";
    mshook_hook second = hook;
    EXPECT_EQ(LibHook(&second), MSHOOK_BUSY);
    EXPECT_EQ(LibUnHook(&second), MSHOOK_INVALID_HOOK);
    EXPECT_EQ(LibUnHook(nullptr), MSHOOK_INVALID_HOOK);
    EXPECT_FALSE(client.GrabHotKey()) << "the library holds the key";

    EXPECT_EQ(LibUnHook(&hook), MSHOOK_OK);
    EXPECT_TRUE(client.GrabHotKey()) << "unhooking gives the key back";
    client.UngrabHotKey();
    const xcb_key_press_event_t press = Synthetic(XCB_KEY_PRESS, kCtrlAlt, 10);
    EXPECT_EQ(Feed(press), 0) << "no hook, no hot key";
}

}  // namespace
