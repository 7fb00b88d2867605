// The hot-key hook library: one global key grab on the program's own X connection.

#include "mshook/mshook.h"

#include <xcb/xcb.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <vector>

namespace {

constexpr std::uint32_t kKeysymLowerH = 0x0068;
constexpr std::uint32_t kKeysymUpperH = 0x0048;
constexpr std::uint16_t kHotKeyModifiers = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1;
// NumLock (Mod2) and CapsLock change nothing about the hot key: it is grabbed with each
// combination of them and they are stripped before matching.
constexpr std::array<std::uint16_t, 4> kLockCombinations = {0, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2,
                                                            XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2};
constexpr std::uint16_t kModifierBits = 0xFF;  // Shift … Mod5, without the mouse buttons
constexpr std::uint8_t kBadAccess = 10;
// Key presses closer together than this without a release between are the key repeating.
constexpr std::uint32_t kRepeatWindowMs = 1000;

struct XcbFree {
    void operator()(void* memory) const noexcept { std::free(memory); }
};

struct HookState {
    std::mutex mutex;
    mshook_hook* hook = nullptr;
    std::vector<xcb_keycode_t> keycodes;
    bool keyDown = false;
    xcb_timestamp_t lastPress = 0;
    bool released = false;
    xcb_timestamp_t lastRelease = 0;
};

HookState& State() {
    static HookState state;
    return state;
}

bool ValidHook(const mshook_hook* hook) {
    return hook != nullptr && hook->size == sizeof(mshook_hook) && hook->connection != nullptr &&
           hook->root != 0 && hook->post_message != nullptr;
}

xcb_connection_t* ConnectionOf(const mshook_hook* hook) {
    return static_cast<xcb_connection_t*>(hook->connection);
}

// Every key code whose first two keysyms (plain and shifted) give the letter h.
std::vector<xcb_keycode_t> HotKeyCodes(xcb_connection_t* connection) {
    const xcb_setup_t* setup = xcb_get_setup(connection);
    const auto count = static_cast<std::uint8_t>(setup->max_keycode - setup->min_keycode + 1);
    const std::unique_ptr<xcb_get_keyboard_mapping_reply_t, XcbFree> mapping(
        xcb_get_keyboard_mapping_reply(
            connection, xcb_get_keyboard_mapping(connection, setup->min_keycode, count), nullptr));
    std::vector<xcb_keycode_t> codes;
    if (!mapping || mapping->keysyms_per_keycode == 0) {
        return codes;
    }
    const xcb_keysym_t* keysyms = xcb_get_keyboard_mapping_keysyms(mapping.get());
    const int perCode = mapping->keysyms_per_keycode;
    const int total = xcb_get_keyboard_mapping_keysyms_length(mapping.get());
    for (int index = 0; index * perCode < total; ++index) {
        for (int column = 0; column < std::min(perCode, 2); ++column) {
            const xcb_keysym_t keysym = keysyms[index * perCode + column];
            if (keysym == kKeysymLowerH || keysym == kKeysymUpperH) {
                codes.push_back(static_cast<xcb_keycode_t>(setup->min_keycode + index));
                break;
            }
        }
    }
    return codes;
}

void Ungrab(xcb_connection_t* connection, xcb_window_t root,
            const std::vector<xcb_keycode_t>& codes) {
    // An ungrab releases only this client's own grabs; another client's hold stays.
    for (const xcb_keycode_t code : codes) {
        for (const std::uint16_t locks : kLockCombinations) {
            xcb_ungrab_key(connection, code, root,
                           static_cast<std::uint16_t>(kHotKeyModifiers | locks));
        }
    }
    // A round trip: when this returns the key is free for other programs.
    const std::unique_ptr<xcb_get_input_focus_reply_t, XcbFree> sync(
        xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
}

int Grab(xcb_connection_t* connection, xcb_window_t root, const std::vector<xcb_keycode_t>& codes) {
    std::vector<xcb_void_cookie_t> cookies;
    for (const xcb_keycode_t code : codes) {
        for (const std::uint16_t locks : kLockCombinations) {
            // owner_events false: every press is reported on the root window, even while one
            // of the program's own windows has the focus.
            cookies.push_back(xcb_grab_key_checked(
                connection, 0, root, static_cast<std::uint16_t>(kHotKeyModifiers | locks), code,
                XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        }
    }
    // A grab held elsewhere fails with BadAccess; checking every request waits for the
    // server's answers here instead of letting the errors arrive later as events.
    int status = MSHOOK_OK;
    for (const auto cookie : cookies) {
        const std::unique_ptr<xcb_generic_error_t, XcbFree> error(
            xcb_request_check(connection, cookie));
        if (error && status == MSHOOK_OK) {
            status = error->error_code == kBadAccess ? MSHOOK_KEY_TAKEN : MSHOOK_CONNECTION_ERROR;
        }
    }
    if (status != MSHOOK_OK) {
        Ungrab(connection, root, codes);
    }
    return status;
}

}  // namespace

extern "C" {

MSHOOK_API intptr_t SSKeyBoardHook(int code, uintptr_t /*wParam*/, intptr_t lParam) {
    if (code != MSHOOK_HC_ACTION || lParam == 0) {
        return 0;
    }
    // The hook's C interface carries the event's address in lParam, as the Windows hook does.
    // NOLINTNEXTLINE(performance-no-int-to-ptr)
    const auto* event = reinterpret_cast<const xcb_key_press_event_t*>(lParam);
    const auto type = static_cast<std::uint8_t>(event->response_type & 0x7FU);
    if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE) {
        return 0;
    }
    HookState& state = State();
    std::unique_lock lock(state.mutex);
    if (state.hook == nullptr || event->event != state.hook->root ||
        std::find(state.keycodes.begin(), state.keycodes.end(), event->detail) ==
            state.keycodes.end()) {
        return 0;
    }
    if (type == XCB_KEY_RELEASE) {
        state.keyDown = false;
        state.released = true;
        state.lastRelease = event->time;
        return 1;
    }
    const auto modifiers = static_cast<std::uint16_t>(event->state & kModifierBits &
                                                      ~(XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2));
    if (modifiers != kHotKeyModifiers) {
        return 0;
    }
    // A held key repeats: without detectable repeat as a release and a press with the same
    // time, with it as presses without releases. Either way it is one press.
    const bool repeat = (state.released && event->time == state.lastRelease) ||
                        (state.keyDown && event->time - state.lastPress < kRepeatWindowMs);
    state.keyDown = true;
    state.lastPress = event->time;
    if (repeat) {
        return 1;
    }
    const mshook_post_message post = state.hook->post_message;
    void* const context = state.hook->context;
    const std::uint64_t window = state.hook->window;
    lock.unlock();
    post(context, window, MSHOOK_WM_KEYDOWN, MSHOOK_MARKER, 0);
    return 1;
}

MSHOOK_API int LibHook(mshook_hook* hook) {
    if (!ValidHook(hook)) {
        return MSHOOK_INVALID_HOOK;
    }
    HookState& state = State();
    const std::lock_guard lock(state.mutex);
    if (state.hook == hook) {
        return MSHOOK_OK;
    }
    if (state.hook != nullptr) {
        return MSHOOK_BUSY;
    }
    xcb_connection_t* connection = ConnectionOf(hook);
    if (xcb_connection_has_error(connection) != 0) {
        return MSHOOK_CONNECTION_ERROR;
    }
    std::vector<xcb_keycode_t> codes = HotKeyCodes(connection);
    if (codes.empty()) {
        return MSHOOK_NO_KEY;
    }
    const int status = Grab(connection, hook->root, codes);
    if (status != MSHOOK_OK) {
        return status;
    }
    state.hook = hook;
    state.keycodes = std::move(codes);
    state.keyDown = false;
    state.released = false;
    return MSHOOK_OK;
}

MSHOOK_API int LibUnHook(mshook_hook* hook) {
    HookState& state = State();
    const std::lock_guard lock(state.mutex);
    if (!ValidHook(hook) || hook != state.hook) {
        return MSHOOK_INVALID_HOOK;
    }
    Ungrab(ConnectionOf(hook), hook->root, state.keycodes);
    state.hook = nullptr;
    state.keycodes.clear();
    state.keyDown = false;
    state.released = false;
    return MSHOOK_OK;
}

MSHOOK_API int mshook_version(void) {
    return MSHOOK_VERSION;
}

MSHOOK_API const char* mshook_hot_key_name(void) {
    return MSHOOK_HOT_KEY_NAME;
}

MSHOOK_API const char* mshook_status_text(int status) {
    switch (status) {
    case MSHOOK_OK:
        return "the hot key is watched";
    case MSHOOK_KEY_TAKEN:
        return "the hot key is taken by another program";
    case MSHOOK_INVALID_HOOK:
        return "not a hook handle of this library";
    case MSHOOK_NO_KEY:
        return "the keyboard has no key for the hot key";
    case MSHOOK_CONNECTION_ERROR:
        return "the connection to the X server failed";
    case MSHOOK_BUSY:
        return "another hook is installed already";
    default:
        return "unknown status";
    }
}

}  // extern "C"
