#include "MainWindowHost.h"

#include <QLabel>
#include <QTabWidget>
#include <QTimer>
#include <QWidget>

namespace orvelle::cleaning::ui {
namespace {

void SetTimerEnabled(QTimer* timer, bool enabled) {
    if (timer == nullptr) {
        return;
    }
    if (enabled) {
        timer->start();
    } else {
        timer->stop();
    }
}

}  // namespace

void MainWindowHost::Attach(MainWindowControls controls) {
    window_ = controls.window;
    tabMain_ = controls.tabMain;
    lblStatus_ = controls.lblStatus;
    tmrSchedule_ = controls.tmrSchedule;
    tmrMakeScehduleEnable_ = controls.tmrMakeScehduleEnable;
    isSchedulePending_ = std::move(controls.isSchedulePending);
}

bool MainWindowHost::IsSchedulePending() const {
    return isSchedulePending_ && isSchedulePending_();
}

void MainWindowHost::ShowMainPage() {
    if (window_ == nullptr) {
        return;
    }
    const auto normal = [this] {
        window_->setWindowState(
            window_->windowState() &
            ~(Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen));
    };
    normal();
    if (tabMain_ != nullptr) {
        tabMain_->setCurrentIndex(0);
    }
    window_->show();
    normal();
}

void MainWindowHost::SetScheduleTimerEnabled(bool enabled) {
    SetTimerEnabled(tmrSchedule_, enabled);
}

void MainWindowHost::SetScheduleEnableTimerEnabled(bool enabled) {
    SetTimerEnabled(tmrMakeScehduleEnable_, enabled);
}

void MainWindowHost::SetLastRunTime(const std::string& text) {
    lastRunTime_ = QString::fromStdString(text);
    if (window_ != nullptr) {
        if (auto* label = window_->findChild<QLabel*>(QStringLiteral("lblLastRunTime"))) {
            label->setText(lastRunTime_);
        }
    }
}

void MainWindowHost::SetStatus(const std::string& text) {
    if (lblStatus_ != nullptr) {
        lblStatus_->setText(QString::fromStdString(text));
    }
}

}  // namespace orvelle::cleaning::ui
