#include "SecondTimer.h"

#include <QDateTime>

namespace orvelle::schedule {

SecondTimer::SecondTimer(QObject* parent) : QObject(parent) {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &SecondTimer::OnTimeout);
}

void SecondTimer::start() {
    active_ = true;
    Arm();
}

void SecondTimer::stop() {
    active_ = false;
    timer_.stop();
}

void SecondTimer::SetEnabled(bool enabled) {
    if (enabled) {
        if (!active_) {
            start();
        }
    } else {
        stop();
    }
}

void SecondTimer::Arm() {
    // A few milliseconds into the next second, so the clock reads that second.
    const auto millisecond = QDateTime::currentMSecsSinceEpoch() % 1000;
    timer_.start(static_cast<int>(1000 - millisecond) + 3);
}

void SecondTimer::OnTimeout() {
    if (!active_) {
        return;
    }
    Q_EMIT timeout();
    // The handler may have switched the timer off (a run) or on again.
    if (active_ && !timer_.isActive()) {
        Arm();
    }
}

}  // namespace orvelle::schedule
