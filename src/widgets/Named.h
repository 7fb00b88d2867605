#pragma once

#include <QString>

#include <string>

namespace orvelle::widgets {

// Gives a control the system's name as its objectName, so that tests and the
// screenshot tool find it by that name.
template <typename Widget>
Widget* Named(Widget* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

// UTF-8 text of the logic as a Qt string.
inline QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace orvelle::widgets
