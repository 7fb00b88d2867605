#include "SchedulePage.h"

#include "DueTest.h"
#include "ErrorBox.h"
#include "Named.h"
#include "OptionalDateTimeEdit.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace orvelle::schedule {

using widgets::Named;

namespace {

QDateTime ToQt(const Date& date, const TimeOfDay& time) {
    return QDateTime(QDate(date.year, date.month, date.day),
                     QTime(time.hour, time.minute, time.second));
}

}  // namespace

SchedulePage::SchedulePage(ScheduleEditor& editor, QWidget* parent)
    : QWidget(parent), editor_(editor) {
    setObjectName(QStringLiteral("pageSchedule"));
    BuildScheduleFields();
    LayOutScheduleBox();
    BuildButtons();
    ConnectControls();
    editor_.SetChangedCallback([this] { Refresh(); });
    Refresh();
}

void SchedulePage::BuildScheduleFields() {
    fmSchedule = Named(new QGroupBox(QStringLiteral("Schedule"), this), "fmSchedule");
    cmbDays = Named(new QComboBox(fmSchedule), "cmbDays");
    for (const char* text : kModeTexts) {
        cmbDays->addItem(QString::fromUtf8(text));
    }
    dtpScheduleDate = Named(new OptionalDateTimeEdit(OptionalDateTimeEdit::Kind::Date, fmSchedule),
                            "dtpScheduleDate");
    dtpScheduleTime = Named(new OptionalDateTimeEdit(OptionalDateTimeEdit::Kind::Time, fmSchedule),
                            "dtpScheduleTime");
    txtHours = Named(new QLineEdit(fmSchedule), "txtHours");
    txtHours->setMaximumWidth(60);
    udnHours = Named(new QWidget(fmSchedule), "udnHours");
    hoursUp_ = Named(new QToolButton(udnHours), "udnHoursUp");
    hoursUp_->setArrowType(Qt::UpArrow);
    hoursDown_ = Named(new QToolButton(udnHours), "udnHoursDown");
    hoursDown_->setArrowType(Qt::DownArrow);
    for (QToolButton* button : {hoursUp_, hoursDown_}) {
        button->setAutoRepeat(true);
        button->setFixedSize(18, 12);
    }
    auto* spinner = new QVBoxLayout(udnHours);
    spinner->setContentsMargins(0, 0, 0, 0);
    spinner->setSpacing(0);
    spinner->addWidget(hoursUp_);
    spinner->addWidget(hoursDown_);
    lblLastRunTime =
        Named(new QLabel(QString::fromLatin1(kNeverRun), fmSchedule), "lblLastRunTime");
    lblLastRunTime->setTextInteractionFlags(Qt::TextSelectableByMouse);
}

void SchedulePage::LayOutScheduleBox() {
    auto* hours = new QHBoxLayout;
    hours->addWidget(txtHours);
    hours->addWidget(udnHours);
    hours->addWidget(Named(new QLabel(QStringLiteral("hrs."), fmSchedule), "lblHrs"));
    hours->addStretch(1);

    auto* grid = new QGridLayout(fmSchedule);
    grid->addWidget(Named(new QLabel(QStringLiteral("Run on: "), fmSchedule), "lblRunOn"), 0, 0);
    grid->addWidget(cmbDays, 0, 1);
    grid->addWidget(Named(new QLabel(QStringLiteral("Date:"), fmSchedule), "lblDate"), 1, 0);
    grid->addWidget(dtpScheduleDate, 1, 1);
    grid->addWidget(Named(new QLabel(QStringLiteral("Time:"), fmSchedule), "lblTime"), 2, 0);
    grid->addWidget(dtpScheduleTime, 2, 1);
    grid->addWidget(Named(new QLabel(QStringLiteral("Run after each:"), fmSchedule), "lblRunAfter"),
                    3, 0);
    grid->addLayout(hours, 3, 1);
    grid->addWidget(
        Named(new QLabel(QStringLiteral("Last Run  Time:"), fmSchedule), "lblLastRunCaption"), 4,
        0);
    grid->addWidget(lblLastRunTime, 4, 1);
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(5, 1);
}

void SchedulePage::BuildButtons() {
    cmdDefaultSchedule =
        Named(new QPushButton(QStringLiteral("Default"), this), "cmdDefaultSchedule");
    cmdApply = Named(new QPushButton(QStringLiteral("&Apply"), this), "cmdApply");
    cmdCancel = Named(new QPushButton(QStringLiteral("Cancel"), this), "cmdCancel");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdDefaultSchedule);
    buttons->addWidget(cmdApply);
    buttons->addWidget(cmdCancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(fmSchedule, 1);
    layout->addLayout(buttons);
}

void SchedulePage::ConnectControls() {
    connect(cmbDays, &QComboBox::currentIndexChanged, this,
            [this](int index) { editor_.SelectRunOn(index); });
    connect(dtpScheduleDate, &OptionalDateTimeEdit::edited, this,
            [this](bool hasValue, const QDateTime& value) {
                const QDate date = value.date();
                editor_.UserEditsDate(
                    hasValue ? std::optional<Date>(Date{date.year(), date.month(), date.day()})
                             : std::nullopt);
            });
    connect(dtpScheduleTime, &OptionalDateTimeEdit::edited, this,
            [this](bool hasValue, const QDateTime& value) {
                const QTime time = value.time();
                editor_.UserEditsTime(hasValue ? std::optional<TimeOfDay>(TimeOfDay{
                                                     time.hour(), time.minute(), time.second()})
                                               : std::nullopt);
            });
    connect(txtHours, &QLineEdit::textChanged, this,
            [this](const QString& text) { editor_.SetHoursText(text.toStdString()); });
    connect(hoursUp_, &QToolButton::clicked, this, [this] { StepHours(1); });
    connect(hoursDown_, &QToolButton::clicked, this, [this] { StepHours(-1); });
    connect(cmdApply, &QPushButton::clicked, this, [this] { editor_.cmdApply_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { editor_.cmdCancel_Click(); });
    connect(cmdDefaultSchedule, &QPushButton::clicked, this,
            [this] { editor_.cmdDefaultSchedule_Click(); });
}

void SchedulePage::StepHours(int step) {
    // The spinner only helps typing: whole hours from 1 to 23.
    const int hours = ParseRunAfterHours(editor_.HoursText());
    const int next = hours < 1 ? 1 : std::clamp(hours + step, 1, 23);
    editor_.SetHoursText(std::to_string(next));
}

void SchedulePage::Refresh() {
    {
        const QSignalBlocker block(cmbDays);
        cmbDays->setCurrentIndex(editor_.RunOn());
    }
    const auto& date = editor_.DatePicker();
    const auto& time = editor_.TimePicker();
    dtpScheduleDate->SetState(ToQt(date.value, TimeOfDay{}), date.hasValue, date.enabled);
    dtpScheduleTime->SetState(ToQt(Date{2000, 1, 1}, time.value), time.hasValue, time.enabled);
    {
        const QSignalBlocker block(txtHours);
        const QString hours = QString::fromStdString(editor_.HoursText());
        if (txtHours->text() != hours) {
            txtHours->setText(hours);
        }
    }
    txtHours->setEnabled(editor_.HoursEnabled());
    udnHours->setEnabled(editor_.HoursEnabled());
    QPalette palette = txtHours->palette();
    const QColor background = editor_.HoursBackgroundWhite()
                                  ? QColor(255, 255, 255)
                                  : this->palette().color(QPalette::Button);
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::Base, background);
    }
    txtHours->setPalette(palette);
    lblLastRunTime->setText(QString::fromStdString(editor_.LastRunTime()));
    cmdApply->setEnabled(editor_.ApplyEnabled());
    cmdCancel->setEnabled(editor_.CancelEnabled());
}

}  // namespace orvelle::schedule
