#include "OleColor.h"

#include <QGuiApplication>
#include <QPalette>

namespace orvelle::veilor64 {
namespace {

constexpr quint32 kSystemColorFlag = 0x80000000u;

// The system colours the desktop's palette can answer; others fall back to the
// window colour.
QPalette::ColorRole RoleOf(quint32 index) {
    switch (index) {
    case 5:  // window background
        return QPalette::Base;
    case 8:  // window text
        return QPalette::Text;
    case 9:   // caption text
    case 14:  // highlight text
        return QPalette::HighlightedText;
    case 13:  // highlight
        return QPalette::Highlight;
    case 15:  // button face
        return QPalette::Button;
    case 16:  // button shadow
        return QPalette::Dark;
    case 18:  // button text
        return QPalette::ButtonText;
    case 20:  // button highlight
        return QPalette::Light;
    case 23:  // tool tip text
        return QPalette::ToolTipText;
    case 24:  // tool tip background
        return QPalette::ToolTipBase;
    default:
        return QPalette::Window;
    }
}

}  // namespace

QColor TranslateColor(quint32 oleColor) {
    if ((oleColor & kSystemColorFlag) != 0) {
        return QGuiApplication::palette().color(QPalette::Active, RoleOf(oleColor & 0xFFFFu));
    }
    return QColor(static_cast<int>(oleColor & 0xFFu), static_cast<int>((oleColor >> 8) & 0xFFu),
                  static_cast<int>((oleColor >> 16) & 0xFFu));
}

quint32 ToOleColor(const QColor& color) {
    return static_cast<quint32>(color.red()) | (static_cast<quint32>(color.green()) << 8) |
           (static_cast<quint32>(color.blue()) << 16);
}

}  // namespace orvelle::veilor64
