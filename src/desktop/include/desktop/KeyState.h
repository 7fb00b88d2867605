#pragma once

#include <cstdint>

namespace orvelle::desktop {

inline constexpr int VK_LBUTTON = 0x01;
inline constexpr int VK_SHIFT = 0x10;
inline constexpr int VK_CONTROL = 0x11;
inline constexpr int VK_MENU = 0x12;

// The key state word's bits.
inline constexpr std::uint16_t kKeyDownNow = 0x8000;
inline constexpr std::uint16_t kKeyPressedSinceLastQuery = 0x0001;

struct ScreenPoint {
    int x = 0;
    int y = 0;

    friend bool operator==(const ScreenPoint&, const ScreenPoint&) = default;
};

// The keyboard and mouse state as the desktop reports it.
class IKeyState {
public:
    virtual ~IKeyState() = default;

    // The platform's key state word for VK_LBUTTON, VK_SHIFT, VK_CONTROL or VK_MENU:
    // kKeyDownNow while the key is down, kKeyPressedSinceLastQuery when it was pressed
    // since the last query (where the desktop can tell); 0 otherwise, and 0 for a
    // desktop that cannot be asked.
    [[nodiscard]] virtual std::uint16_t GetAsyncKeyState(int virtualKey) = 0;
    // The cursor position in screen coordinates ({0, 0} where it cannot be asked).
    [[nodiscard]] virtual ScreenPoint GetCursorPos() = 0;
};

}  // namespace orvelle::desktop
