/* libMSHook: the hot-key hook of Orvelle for X11.
 *
 * The program installs the hook procedure SSKeyBoardHook in its own event loop (every key
 * event of its X connection goes through it) and hands the hook to the library with LibHook.
 * The library then grabs its hot key on the root window, with and without NumLock and
 * CapsLock, and turns each press of it into the message WM_KEYDOWN (256) with wParam 99999,
 * posted to the program's main window through the hook's post_message. LibUnHook releases
 * the key. Every call belongs on the thread that reads the connection's events. */
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define MSHOOK_API __attribute__((visibility("default")))

#define MSHOOK_VERSION 1
#define MSHOOK_HOT_KEY_NAME "Ctrl+Alt+H"
#define MSHOOK_WM_KEYDOWN 256u
#define MSHOOK_MARKER 99999u
/* The hook procedure's code for a key event it is to look at. */
#define MSHOOK_HC_ACTION 0

enum mshook_status {
    MSHOOK_OK = 0,
    MSHOOK_KEY_TAKEN = 1,    /* another client holds the key combination */
    MSHOOK_INVALID_HOOK = 2, /* null, the wrong size, or not the hook the library holds */
    MSHOOK_NO_KEY = 3,       /* the keyboard has no key for the hot key */
    MSHOOK_CONNECTION_ERROR = 4,
    MSHOOK_BUSY = 5 /* another hook is installed already */
};

/* Delivers a message to a window of the program; must not block. */
typedef void (*mshook_post_message)(void* context, uint64_t window, uint32_t message,
                                    uintptr_t wParam, intptr_t lParam);

/* The hook handle: made by the program, kept by the library between LibHook and LibUnHook. */
typedef struct mshook_hook {
    uint32_t size;    /* sizeof(mshook_hook) */
    void* connection; /* the program's xcb_connection_t */
    uint32_t root;    /* the root window the key is grabbed on */
    uint64_t window;  /* the window the marker goes to */
    mshook_post_message post_message;
    void* context; /* handed back to post_message */
} mshook_hook;

/* The keyboard hook procedure. code: MSHOOK_HC_ACTION; wParam: the key code; lParam: the
 * const xcb_key_press_event_t* (a press or a release). Returns 1 when the event was the hot
 * key and is used up, 0 when it is to go on as if there were no hook. */
MSHOOK_API intptr_t SSKeyBoardHook(int code, uintptr_t wParam, intptr_t lParam);

/* Keeps the hook and grabs the hot key; an mshook_status. */
MSHOOK_API int LibHook(mshook_hook* hook);

/* Releases the hot key and forgets the hook; an mshook_status. */
MSHOOK_API int LibUnHook(mshook_hook* hook);

/* MSHOOK_VERSION of the library loaded. */
MSHOOK_API int mshook_version(void);

/* The hot key for people, e.g. "Ctrl+Alt+H". */
MSHOOK_API const char* mshook_hot_key_name(void);

/* A status in words. */
MSHOOK_API const char* mshook_status_text(int status);

#ifdef __cplusplus
}
#endif
