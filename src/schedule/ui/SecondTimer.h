#pragma once

#include "ScheduleTimers.h"

#include <QObject>
#include <QTimer>

namespace orvelle::schedule {

// A timer that ticks once per wall-clock second, just after the second begins, so
// that every second is tested once with one wake-up a second. start(), stop() and
// isActive() read like QTimer's.
class SecondTimer final : public QObject, public ITimerSwitch {
    Q_OBJECT

public:
    explicit SecondTimer(QObject* parent = nullptr);

    void start();
    void stop();
    [[nodiscard]] bool isActive() const noexcept { return active_; }

    [[nodiscard]] bool Enabled() const override { return active_; }
    void SetEnabled(bool enabled) override;

Q_SIGNALS:
    void timeout();

private:
    void Arm();
    void OnTimeout();

    QTimer timer_;
    bool active_ = false;
};

// QTimer seen as an on/off switch.
class QTimerSwitch final : public ITimerSwitch {
public:
    explicit QTimerSwitch(QTimer& timer) : timer_(timer) {}
    [[nodiscard]] bool Enabled() const override { return timer_.isActive(); }
    void SetEnabled(bool enabled) override {
        if (enabled && !timer_.isActive()) {
            timer_.start();
        } else if (!enabled) {
            timer_.stop();
        }
    }

private:
    QTimer& timer_;
};

}  // namespace orvelle::schedule
