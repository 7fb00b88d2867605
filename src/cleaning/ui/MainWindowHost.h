#pragma once

#include "CleaningHost.h"

#include <QPointer>
#include <QString>

#include <functional>

class QLabel;
class QTabWidget;
class QTimer;
class QWidget;

namespace orvelle::cleaning::ui {

// The main window's controls that the cleaning run works with.
struct MainWindowControls {
    QWidget* window = nullptr;
    QTabWidget* tabMain = nullptr;
    QLabel* lblStatus = nullptr;
    QTimer* tmrSchedule = nullptr;
    QTimer* tmrMakeScehduleEnable = nullptr;
    // The Schedule page's pending-edit state.
    std::function<bool()> isSchedulePending;
};

// The cleaning run's host over the main window's controls. lblLastRunTime lives on
// the Schedule page: it is found by name when that page is there, and the last text
// is kept here either way.
class MainWindowHost final : public ICleaningHost {
public:
    MainWindowHost() = default;
    void Attach(MainWindowControls controls);

    [[nodiscard]] bool IsSchedulePending() const override;
    void ShowMainPage() override;
    void SetScheduleTimerEnabled(bool enabled) override;
    void SetScheduleEnableTimerEnabled(bool enabled) override;
    void SetLastRunTime(const std::string& text) override;
    void SetStatus(const std::string& text) override;

    [[nodiscard]] const QString& LastRunTime() const noexcept { return lastRunTime_; }

private:
    QPointer<QWidget> window_;
    QPointer<QTabWidget> tabMain_;
    QPointer<QLabel> lblStatus_;
    QPointer<QTimer> tmrSchedule_;
    QPointer<QTimer> tmrMakeScehduleEnable_;
    std::function<bool()> isSchedulePending_;
    QString lastRunTime_;
};

}  // namespace orvelle::cleaning::ui
