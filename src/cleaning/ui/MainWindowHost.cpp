#include "MainWindowHost.h"

#include <QLabel>
#include <QTabWidget>
#include <QWidget>

namespace orvelle::cleaning::ui {

void MainWindowHost::Attach(MainWindowControls controls) {
    window_ = controls.window;
    tabMain_ = controls.tabMain;
    lblStatus_ = controls.lblStatus;
    setScheduleTimerEnabled_ = std::move(controls.setScheduleTimerEnabled);
    setScheduleEnableTimerEnabled_ = std::move(controls.setScheduleEnableTimerEnabled);
    isSchedulePending_ = std::move(controls.isSchedulePending);
    setLastRunTime_ = std::move(controls.setLastRunTime);
    showWindow_ = std::move(controls.showWindow);
}

bool MainWindowHost::IsSchedulePending() const {
    return isSchedulePending_ && isSchedulePending_();
}

void MainWindowHost::ShowMainPage() {
    if (window_ == nullptr) {
        return;
    }
    if (showWindow_) {
        if (tabMain_ != nullptr) {
            tabMain_->setCurrentIndex(0);
        }
        showWindow_();
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
    if (setScheduleTimerEnabled_) {
        setScheduleTimerEnabled_(enabled);
    }
}

void MainWindowHost::SetScheduleEnableTimerEnabled(bool enabled) {
    if (setScheduleEnableTimerEnabled_) {
        setScheduleEnableTimerEnabled_(enabled);
    }
}

void MainWindowHost::SetLastRunTime(const std::string& text) {
    lastRunTime_ = QString::fromStdString(text);
    if (setLastRunTime_) {
        setLastRunTime_(text);
    }
}

void MainWindowHost::SetStatus(const std::string& text) {
    if (lblStatus_ != nullptr) {
        lblStatus_->setText(QString::fromStdString(text));
    }
}

}  // namespace orvelle::cleaning::ui
