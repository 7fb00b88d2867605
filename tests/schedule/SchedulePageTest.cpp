#include "FakeDesktop.h"
#include "FakeOs.h"
#include "FakeStore.h"
#include "OptionalDateTimeEdit.h"
#include "SchedulePage.h"
#include "SecondTimer.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace orvelle;
using namespace orvelle::schedule;

namespace {

class MemorySettings final : public store::ISettingsStore {
public:
    std::string GetSetting(const std::string& app, const std::string& section,
                           const std::string& key, const std::string& def) override {
        const auto found = values.find(app + "|" + section + "|" + key);
        return found == values.end() ? def : found->second;
    }
    void SaveSetting(const std::string& app, const std::string& section, const std::string& key,
                     const std::string& value) override {
        values[app + "|" + section + "|" + key] = value;
    }
    std::map<std::string, std::string> values;
};

class SchedulePageTest : public ::testing::Test {
protected:
    SchedulePageTest() {
        editor.InitialisePickers();
        editor.LoadSchedule();
        editor.ClearPending();
    }
    MemorySettings settings;
    desktop::fake::FakeMessageBox box;
    os::fake::FakeClock clock;
    ScheduleEditor editor{settings, box, clock, [] { return std::string("Orvelle v2.1"); }};
    SchedulePage page{editor};
};

}  // namespace

TEST_F(SchedulePageTest, ControlsCaptionsAndTheElevenModes) {
    const QStringList modes = {
        QStringLiteral("Monday"),      QStringLiteral("Tuesday"), QStringLiteral("Wednesday"),
        QStringLiteral("Thursday"),    QStringLiteral("Friday"),  QStringLiteral("Saturday"),
        QStringLiteral("Sunday"),      QStringLiteral("Daily"),   QStringLiteral("Date"),
        QStringLiteral("Date & Time"), QStringLiteral("Never!")};
    ASSERT_EQ(page.cmbDays->count(), modes.size());
    for (int i = 0; i < modes.size(); ++i) {
        EXPECT_EQ(page.cmbDays->itemText(i), modes[i]);
    }
    EXPECT_EQ(page.cmdApply->text(), QStringLiteral("&Apply"));
    EXPECT_EQ(page.cmdCancel->text(), QStringLiteral("Cancel"));
    EXPECT_EQ(page.cmdDefaultSchedule->text(), QStringLiteral("Default"));
    for (const char* caption :
         {"Run on: ", "Date:", "Time:", "Run after each:", "hrs.", "Last Run  Time:"}) {
        bool found = false;
        for (const QLabel* label : page.findChildren<QLabel*>()) {
            found = found || label->text() == QString::fromUtf8(caption);
        }
        EXPECT_TRUE(found) << caption;
    }
    for (const char* name :
         {"fmSchedule", "cmbDays", "dtpScheduleDate", "dtpScheduleTime", "txtHours", "udnHours",
          "lblLastRunTime", "cmdApply", "cmdCancel", "cmdDefaultSchedule"}) {
        EXPECT_NE(page.findChild<QWidget*>(QString::fromLatin1(name)), nullptr) << name;
    }
    EXPECT_EQ(page.cmbDays->currentText(), QStringLiteral("Daily"));
    EXPECT_EQ(page.txtHours->text(), QStringLiteral("2"));
    EXPECT_EQ(page.lblLastRunTime->text(), QStringLiteral("##:##:##"));
    EXPECT_FALSE(page.cmdApply->isEnabled());
}

TEST_F(SchedulePageTest, UserEditsReachTheEditorAndTheControlsFollowIt) {
    page.cmbDays->setCurrentIndex(kNever);
    EXPECT_EQ(editor.RunOn(), kNever);
    EXPECT_FALSE(page.dtpScheduleDate->isEnabled());
    EXPECT_FALSE(page.dtpScheduleTime->isEnabled());
    EXPECT_FALSE(page.txtHours->isEnabled());
    EXPECT_FALSE(page.udnHours->isEnabled());
    EXPECT_EQ(page.txtHours->palette().color(QPalette::Disabled, QPalette::Base),
              page.palette().color(QPalette::Button));
    EXPECT_TRUE(page.cmdApply->isEnabled());

    page.cmdCancel->click();
    EXPECT_EQ(page.cmbDays->currentIndex(), kDaily);
    EXPECT_EQ(page.txtHours->palette().color(QPalette::Active, QPalette::Base),
              QColor(255, 255, 255));

    page.dtpScheduleTime->checkBox()->setChecked(true);
    EXPECT_TRUE(editor.TimePicker().hasValue);
    EXPECT_FALSE(page.txtHours->isEnabled());
    page.dtpScheduleTime->editor()->setTime(QTime(14, 30, 5));
    EXPECT_EQ(editor.TimePicker().Get(), (TimeOfDay{14, 30, 5}));

    page.dtpScheduleTime->checkBox()->setChecked(false);
    EXPECT_TRUE(page.txtHours->isEnabled());
    page.txtHours->setText(QStringLiteral("5"));
    EXPECT_EQ(editor.HoursText(), "5");
    EXPECT_TRUE(page.cmdCancel->isEnabled());
    page.findChild<QToolButton*>(QStringLiteral("udnHoursUp"))->click();
    EXPECT_EQ(page.txtHours->text(), QStringLiteral("6"));
    page.cmdApply->click();
    EXPECT_EQ(settings.values.at("Orvelle|Schedule|RunAfter"), "6");
    EXPECT_FALSE(page.cmdApply->isEnabled());
}

TEST(SecondTimerTest, TicksJustAfterEachWallClockSecondAndStopsWhenSwitchedOff) {
    SecondTimer timer;
    QSignalSpy ticks(&timer, &SecondTimer::timeout);
    std::vector<qint64> millis;
    QObject::connect(&timer, &SecondTimer::timeout,
                     [&] { millis.push_back(QDateTime::currentMSecsSinceEpoch() % 1000); });
    timer.start();
    EXPECT_TRUE(timer.isActive());
    ASSERT_TRUE(ticks.wait(1500));
    ASSERT_TRUE(ticks.wait(1500));
    ASSERT_GE(millis.size(), 2U);
    for (const qint64 ms : millis) {
        EXPECT_LT(ms, 500) << "a tick lands early in its second";
    }
    timer.SetEnabled(false);
    EXPECT_FALSE(timer.isActive());
    const auto count = ticks.count();
    QTest::qWait(1200);
    EXPECT_EQ(ticks.count(), count);
}
