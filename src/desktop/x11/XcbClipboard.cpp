#include "XcbClipboard.h"

#include "XcbHandles.h"
#include "os/RuntimeError.h"

#include <cstdlib>
#include <cstring>

namespace orvelle::desktop::x11 {
namespace {

[[noreturn]] void CannotOpen() {
    throw os::RuntimeError(521, "Can't open Clipboard");
}

}  // namespace

void XcbClipboard::Clear() {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || display[0] == '\0') {
        return;
    }
    XcbConnection connection(xcb_connect(nullptr, nullptr));
    if (!connection || xcb_connection_has_error(connection.get()) != 0) {
        CannotOpen();
    }
    const char* name = "CLIPBOARD";
    XcbReply<xcb_intern_atom_reply_t> clipboard(xcb_intern_atom_reply(
        connection.get(),
        xcb_intern_atom(connection.get(), 0, static_cast<std::uint16_t>(std::strlen(name)), name),
        nullptr));
    if (!clipboard) {
        CannotOpen();
    }
    for (const xcb_atom_t selection : {clipboard->atom, xcb_atom_t{XCB_ATOM_PRIMARY}}) {
        // Any client may take a selection away from its owner; no owner, no contents.
        XcbError error(xcb_request_check(
            connection.get(), xcb_set_selection_owner_checked(connection.get(), XCB_NONE, selection,
                                                              XCB_CURRENT_TIME)));
        if (error) {
            CannotOpen();
        }
    }
}

}  // namespace orvelle::desktop::x11
