#pragma once

#include <qnamespace.h>
#include <QtGlobal>

class QKeyEvent;
class QMouseEvent;

namespace orvelle::veilor64 {

// Input as the platform's control events report it.
// Key code of a key event (65 for A, 13 for Enter, 112 for F1 ...); 0 for keys
// the platform has no code for.
[[nodiscard]] qint16 VbKeyCode(const QKeyEvent& event);
// Shift state: 1 Shift, 2 Ctrl, 4 Alt, added together.
[[nodiscard]] qint16 VbShiftState(Qt::KeyboardModifiers modifiers);
// The character code of a typed key (its single-byte code), or -1 when the key
// types no single character.
[[nodiscard]] qint16 VbKeyAscii(const QKeyEvent& event);
// Mouse button code: 1 left, 2 right, 4 middle (added together for held buttons).
[[nodiscard]] qint16 VbButton(Qt::MouseButtons buttons);

}  // namespace orvelle::veilor64
