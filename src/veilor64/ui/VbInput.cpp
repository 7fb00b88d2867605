#include "VbInput.h"

#include "Windows1252.h"

#include <QKeyEvent>
#include <QMouseEvent>

#include <array>
#include <utility>

namespace orvelle::veilor64 {
namespace {

constexpr std::array<std::pair<int, qint16>, 44> kKeys{{
    {Qt::Key_Backspace, 8},    {Qt::Key_Tab, 9},
    {Qt::Key_Backtab, 9},      {Qt::Key_Clear, 12},
    {Qt::Key_Return, 13},      {Qt::Key_Enter, 13},
    {Qt::Key_Shift, 16},       {Qt::Key_Control, 17},
    {Qt::Key_Alt, 18},         {Qt::Key_Pause, 19},
    {Qt::Key_CapsLock, 20},    {Qt::Key_Escape, 27},
    {Qt::Key_Space, 32},       {Qt::Key_PageUp, 33},
    {Qt::Key_PageDown, 34},    {Qt::Key_End, 35},
    {Qt::Key_Home, 36},        {Qt::Key_Left, 37},
    {Qt::Key_Up, 38},          {Qt::Key_Right, 39},
    {Qt::Key_Down, 40},        {Qt::Key_Select, 41},
    {Qt::Key_Print, 42},       {Qt::Key_Execute, 43},
    {Qt::Key_Insert, 45},      {Qt::Key_Delete, 46},
    {Qt::Key_Help, 47},        {Qt::Key_Menu, 93},
    {Qt::Key_NumLock, 144},    {Qt::Key_ScrollLock, 145},
    {Qt::Key_Semicolon, 186},  {Qt::Key_Equal, 187},
    {Qt::Key_Comma, 188},      {Qt::Key_Minus, 189},
    {Qt::Key_Period, 190},     {Qt::Key_Slash, 191},
    {Qt::Key_QuoteLeft, 192},  {Qt::Key_BracketLeft, 219},
    {Qt::Key_Backslash, 220},  {Qt::Key_BracketRight, 221},
    {Qt::Key_Apostrophe, 222}, {Qt::Key_Asterisk, 106},
    {Qt::Key_Plus, 107},       {Qt::Key_Meta, 91},
}};

}  // namespace

qint16 VbKeyCode(const QKeyEvent& event) {
    const int key = event.key();
    const bool keypad = (event.modifiers() & Qt::KeypadModifier) != 0;
    if (keypad && key >= Qt::Key_0 && key <= Qt::Key_9) {
        return static_cast<qint16>(96 + (key - Qt::Key_0));
    }
    if (keypad) {
        switch (key) {
        case Qt::Key_Asterisk:
            return 106;
        case Qt::Key_Plus:
            return 107;
        case Qt::Key_Minus:
            return 109;
        case Qt::Key_Period:
            return 110;
        case Qt::Key_Slash:
            return 111;
        default:
            break;
        }
    }
    if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9)) {
        return static_cast<qint16>(key);
    }
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) {
        return static_cast<qint16>(112 + (key - Qt::Key_F1));
    }
    for (const auto& [qtKey, code] : kKeys) {
        if (qtKey == key) {
            return code;
        }
    }
    return 0;
}

qint16 VbShiftState(Qt::KeyboardModifiers modifiers) {
    qint16 state = 0;
    if ((modifiers & Qt::ShiftModifier) != 0) {
        state = static_cast<qint16>(state | 1);
    }
    if ((modifiers & Qt::ControlModifier) != 0) {
        state = static_cast<qint16>(state | 2);
    }
    if ((modifiers & Qt::AltModifier) != 0) {
        state = static_cast<qint16>(state | 4);
    }
    return state;
}

qint16 VbKeyAscii(const QKeyEvent& event) {
    const QString text = event.text();
    if (text.size() != 1 && !(text.size() == 2 && text.at(0).isHighSurrogate())) {
        return -1;
    }
    const std::string code = ToWindows1252(text.toStdString());
    return code.size() == 1 ? static_cast<qint16>(static_cast<unsigned char>(code[0])) : qint16{-1};
}

qint16 VbButton(Qt::MouseButtons buttons) {
    qint16 code = 0;
    if ((buttons & Qt::LeftButton) != 0) {
        code = static_cast<qint16>(code | 1);
    }
    if ((buttons & Qt::RightButton) != 0) {
        code = static_cast<qint16>(code | 2);
    }
    if ((buttons & Qt::MiddleButton) != 0) {
        code = static_cast<qint16>(code | 4);
    }
    return code;
}

}  // namespace orvelle::veilor64
