#include "QtEventPump.h"

#include <QCoreApplication>

namespace orvelle::platform::posix {

void QtEventPump::DoEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

}  // namespace orvelle::platform::posix
