#pragma once

#include <QColor>
#include <QtGlobal>

namespace orvelle::veilor64 {

// A colour as the platform's controls store it: 0x00BBGGRR, or with the high bit
// set the index of a system colour (0x8000000F is the button face).
[[nodiscard]] QColor TranslateColor(quint32 oleColor);

// The stored form of an RGB colour.
[[nodiscard]] quint32 ToOleColor(const QColor& color);

}  // namespace orvelle::veilor64
