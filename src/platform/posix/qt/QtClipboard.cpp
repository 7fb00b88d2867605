#include "QtClipboard.h"

#include "platform/RuntimeError.h"

#include <QClipboard>
#include <QGuiApplication>

namespace orvelle::platform::posix {

void QtClipboard::Clear() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard == nullptr) {
        throw RuntimeError(521, "Can't open Clipboard");
    }
    clipboard->clear(QClipboard::Clipboard);
    if (clipboard->supportsSelection()) {
        clipboard->clear(QClipboard::Selection);
    }
}

}  // namespace orvelle::platform::posix
