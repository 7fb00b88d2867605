#pragma once

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace orvelle::desktop::x11 {

// xcb hands replies and errors over as malloc'd memory.
struct XcbFree {
    void operator()(void* memory) const noexcept { std::free(memory); }
};
template <typename Reply>
using XcbReply = std::unique_ptr<Reply, XcbFree>;
using XcbError = std::unique_ptr<xcb_generic_error_t, XcbFree>;
using XcbEvent = std::unique_ptr<xcb_generic_event_t, XcbFree>;

struct XcbDisconnect {
    void operator()(xcb_connection_t* connection) const noexcept { xcb_disconnect(connection); }
};
// A connection of our own to the X server, closed when it leaves scope.
using XcbConnection = std::unique_ptr<xcb_connection_t, XcbDisconnect>;

}  // namespace orvelle::desktop::x11
