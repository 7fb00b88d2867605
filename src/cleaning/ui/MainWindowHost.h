#pragma once

#include "CleaningHost.h"

#include <QPointer>
#include <QString>

#include <functional>

class QLabel;
class QTabWidget;
class QWidget;

namespace orvelle::cleaning::ui {

// The main window's controls that the cleaning run works with.
struct MainWindowControls {
    QWidget* window = nullptr;
    QTabWidget* tabMain = nullptr;
    QLabel* lblStatus = nullptr;
    // Switch tmrSchedule and tmrMakeScehduleEnable on or off.
    std::function<void(bool)> setScheduleTimerEnabled;
    std::function<void(bool)> setScheduleEnableTimerEnabled;
    // The Schedule page's pending-edit state.
    std::function<bool()> isSchedulePending;
    // Sets the caption of lblLastRunTime on the Schedule page.
    std::function<void(const std::string&)> setLastRunTime;
    // Shows the window in its normal state the way the tray's "Show" does; without it
    // the window is shown as the toolkit sees it.
    std::function<void()> showWindow;
};

// The cleaning run's host over the main window's controls. lblLastRunTime lives on
// the Schedule page, which the main window reaches; the last text is kept here too.
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
    std::function<void(bool)> setScheduleTimerEnabled_;
    std::function<void(bool)> setScheduleEnableTimerEnabled_;
    std::function<bool()> isSchedulePending_;
    std::function<void(const std::string&)> setLastRunTime_;
    std::function<void()> showWindow_;
    QString lastRunTime_;
};

}  // namespace orvelle::cleaning::ui
