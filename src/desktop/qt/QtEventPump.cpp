#include "QtEventPump.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>

namespace orvelle::desktop::qt {

QtEventPump::QtEventPump(std::function<void(int)> end) : end_(std::move(end)) {
    if (!end_) {
        end_ = [](int exitCode) {
            // Everything that must outlive the process is already on disk: the unload step
            // has run, and the registry store commits every operation by itself. No
            // destructor may run here, deep inside the work that is being abandoned.
            std::fflush(nullptr);
            std::_Exit(exitCode);
        };
    }
}

void QtEventPump::DoEvents() {
    if (!ending_) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
    if (ending_) {
        end_(exitCode_);
    }
}

void QtEventPump::EndAtNextYield(int exitCode) {
    ending_ = true;
    exitCode_ = exitCode;
}

}  // namespace orvelle::desktop::qt
