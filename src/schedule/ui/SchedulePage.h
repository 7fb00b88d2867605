#pragma once

#include "ScheduleEditor.h"

#include <QWidget>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace orvelle::schedule {

class OptionalDateTimeEdit;

// The "Schedule" page: a thin view over ScheduleEditor. User actions go to the
// editor's handlers; the controls follow the editor's state after every change.
class SchedulePage final : public QWidget {
    Q_OBJECT

public:
    SchedulePage(ScheduleEditor& editor, QWidget* parent = nullptr);

    QGroupBox* fmSchedule;
    QComboBox* cmbDays;
    OptionalDateTimeEdit* dtpScheduleDate;
    OptionalDateTimeEdit* dtpScheduleTime;
    QLineEdit* txtHours;
    QWidget* udnHours;
    QLabel* lblLastRunTime;
    QPushButton* cmdApply;
    QPushButton* cmdCancel;
    QPushButton* cmdDefaultSchedule;

    // Brings every control in line with the editor.
    void Refresh();

private:
    void BuildScheduleFields();
    void LayOutScheduleBox();
    void BuildButtons();
    void ConnectControls();
    void StepHours(int step);

    ScheduleEditor& editor_;
    QToolButton* hoursUp_;
    QToolButton* hoursDown_;
};

}  // namespace orvelle::schedule
