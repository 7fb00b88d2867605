#pragma once

#include <cstdint>

namespace orvelle::desktop {

// A top-level window of the desktop (an X11 window id, an HWND); 0 is no window.
using WindowHandle = std::uint64_t;

}  // namespace orvelle::desktop
