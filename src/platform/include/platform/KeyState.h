#pragma once

#include <cstdint>

namespace orvelle::platform {

inline constexpr int VK_LBUTTON = 0x01;
inline constexpr int VK_SHIFT = 0x10;
inline constexpr int VK_CONTROL = 0x11;
inline constexpr int VK_MENU = 0x12;

struct ScreenPoint {
    int x = 0;
    int y = 0;
};

// The keyboard and mouse state as the desktop reports it.
class IKeyState {
public:
    virtual ~IKeyState() = default;

    // The platform's key state word: top bit set while the key is down now,
    // lowest bit set when it was pressed since the last query; 0 otherwise.
    [[nodiscard]] virtual std::int16_t GetAsyncKeyState(int virtualKey) = 0;
    // The cursor position in screen coordinates.
    [[nodiscard]] virtual ScreenPoint GetCursorPos() = 0;
};

}  // namespace orvelle::platform
