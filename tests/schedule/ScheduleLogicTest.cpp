#include "DueTest.h"
#include "FakeDesktop.h"
#include "FakeOs.h"
#include "FakeStore.h"
#include "ScheduleEditor.h"
#include "ScheduleTimers.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

using namespace orvelle;
using namespace orvelle::schedule;
using os::LocalDateTime;

namespace {

// Settings kept in memory, remembering the order of writes.
class RecordingSettings final : public store::ISettingsStore {
public:
    std::string GetSetting(const std::string& app, const std::string& section,
                           const std::string& key, const std::string& def) override {
        ++reads;
        const auto found = values.find(app + "|" + section + "|" + key);
        return found == values.end() ? def : found->second;
    }
    void SaveSetting(const std::string& app, const std::string& section, const std::string& key,
                     const std::string& value) override {
        values[app + "|" + section + "|" + key] = value;
        writes.push_back(key + "=" + value);
    }
    void Put(const std::string& key, const std::string& value) {
        values["Orvelle|Schedule|" + key] = value;
    }
    std::map<std::string, std::string> values;
    std::vector<std::string> writes;
    int reads = 0;
};

LocalDateTime At(int hour, int minute, int second, int day = 9, int dayOfWeek = 3) {
    return LocalDateTime{2026, 12, day, hour, minute, second, dayOfWeek, 0};
}

class ScheduleEditorTest : public ::testing::Test {
protected:
    // The load step: pickers to now and emptied, the stored schedule, not pending.
    void StartUp() {
        editor.InitialisePickers();
        editor.LoadSchedule();
        editor.ClearPending();
    }
    RecordingSettings settings;
    desktop::fake::FakeMessageBox box;
    os::fake::FakeClock clock;
    ScheduleEditor editor{settings, box, clock, [] { return std::string("Orvelle v2.1"); }};
};

}  // namespace

TEST_F(ScheduleEditorTest, FirstStartShowsDailyEveryTwoHoursNotPending) {
    StartUp();
    EXPECT_EQ(editor.RunOn(), kDaily);
    EXPECT_FALSE(editor.DatePicker().hasValue);
    EXPECT_FALSE(editor.DatePicker().enabled);
    EXPECT_FALSE(editor.TimePicker().hasValue);
    EXPECT_TRUE(editor.TimePicker().enabled);
    EXPECT_TRUE(editor.HoursEnabled());
    EXPECT_TRUE(editor.HoursBackgroundWhite());
    EXPECT_EQ(editor.HoursText(), "2");
    EXPECT_EQ(editor.LastRunTime(), "##:##:##");
    EXPECT_FALSE(editor.IsPending());
    EXPECT_TRUE(settings.writes.empty());
    EXPECT_TRUE(box.shown.empty());
}

TEST_F(ScheduleEditorTest, ModeSwitchRules) {
    StartUp();
    editor.UserEditsTime(TimeOfDay{14, 30, 0});
    EXPECT_FALSE(editor.HoursEnabled()) << "a time replaces the hours";
    EXPECT_FALSE(editor.HoursBackgroundWhite());

    editor.SelectRunOn(kDateOnly);
    EXPECT_FALSE(editor.TimePicker().hasValue) << "\"Date\" empties the time";
    EXPECT_FALSE(editor.TimePicker().enabled);
    EXPECT_TRUE(editor.DatePicker().enabled);
    EXPECT_TRUE(editor.HoursEnabled());

    editor.SelectRunOn(kDaily);
    EXPECT_FALSE(editor.TimePicker().hasValue) << "switching back leaves the time empty";
    EXPECT_TRUE(editor.HoursEnabled());

    editor.SetHoursText("");
    editor.SelectRunOn(kDateOnly);
    EXPECT_EQ(editor.HoursText(), "") << "\"Date\" does not fill the hours";
    editor.SelectRunOn(0);
    EXPECT_EQ(editor.HoursText(), "2") << "a weekday fills empty hours with 2";
    EXPECT_FALSE(editor.DatePicker().hasValue);

    editor.SelectRunOn(kDateAndTime);
    EXPECT_TRUE(editor.DatePicker().enabled);
    EXPECT_TRUE(editor.TimePicker().enabled);
    EXPECT_FALSE(editor.HoursEnabled());

    editor.UserEditsDate(Date{2026, 12, 24});
    editor.UserEditsTime(TimeOfDay{8, 0, 0});
    editor.SelectRunOn(kNever);
    EXPECT_FALSE(editor.DatePicker().hasValue);
    EXPECT_FALSE(editor.DatePicker().enabled);
    EXPECT_FALSE(editor.TimePicker().hasValue);
    EXPECT_FALSE(editor.TimePicker().enabled);
    EXPECT_FALSE(editor.HoursEnabled());
    EXPECT_TRUE(editor.IsPending());
}

TEST_F(ScheduleEditorTest, EveryEditMakesThePagePending) {
    StartUp();
    editor.SetHoursText("3");
    EXPECT_TRUE(editor.IsPending());
    editor.cmdCancel_Click();
    EXPECT_FALSE(editor.IsPending());
    EXPECT_EQ(editor.HoursText(), "3") << "with nothing stored, Cancel reads no hours back";
    editor.SetHoursText("2");
    editor.cmdApply_Click();
    editor.SetHoursText("4");
    editor.cmdCancel_Click();
    EXPECT_EQ(editor.HoursText(), "2") << "Cancel reloads what was applied";
    editor.UserEditsTime(std::nullopt);
    EXPECT_TRUE(editor.ApplyEnabled());
    EXPECT_TRUE(editor.CancelEnabled());
    editor.cmdCancel_Click();
    editor.cmdDefaultSchedule_Click();
    EXPECT_TRUE(editor.IsPending()) << "Default takes effect only after Apply";
    EXPECT_EQ(editor.RunOn(), kDaily);
}

TEST_F(ScheduleEditorTest, ApplyValidatesDateAndTimeAndWritesNothingOnRefusal) {
    StartUp();
    editor.SelectRunOn(kDateOnly);
    editor.cmdApply_Click();
    ASSERT_EQ(box.shown.size(), 1U);
    EXPECT_EQ(box.shown[0].text, "Define Date");
    EXPECT_EQ(box.shown[0].title, "Orvelle v2.1");
    EXPECT_TRUE(settings.writes.empty());
    EXPECT_TRUE(editor.IsPending());

    editor.SelectRunOn(kDateAndTime);
    editor.UserEditsDate(Date{2026, 12, 24});
    editor.cmdApply_Click();
    ASSERT_EQ(box.shown.size(), 2U);
    EXPECT_EQ(box.shown[1].text, "Define Time");
    EXPECT_TRUE(settings.writes.empty());

    editor.UserEditsTime(TimeOfDay{7, 5, 9});
    editor.UserEditsTime(std::nullopt);
    EXPECT_TRUE(editor.HoursEnabled()) << "unticking the time offers the hours, even here";
    editor.cmdApply_Click();
    EXPECT_EQ(box.shown.back().text, "Define Time");
}

TEST_F(ScheduleEditorTest, ApplyWritesTheFiveKeysInOrderAndReadsBackExactly) {
    StartUp();
    editor.SelectRunOn(kDateAndTime);
    editor.UserEditsDate(Date{2027, 2, 28});
    editor.UserEditsTime(TimeOfDay{7, 5, 9});
    editor.SetLastRunTime("06:00:00");
    editor.cmdApply_Click();
    EXPECT_FALSE(editor.IsPending());
    EXPECT_EQ(settings.writes,
              (std::vector<std::string>{"Date=2027-02-28", "Time=07:05:09", "RunAfter=2",
                                        "LastRunTime=06:00:00", "RunOn=9"}));

    ScheduleEditor next{settings, box, clock, [] { return std::string("Orvelle v2.1"); }};
    next.InitialisePickers();
    next.LoadSchedule();
    next.ClearPending();
    EXPECT_EQ(next.RunOn(), kDateAndTime);
    EXPECT_EQ(next.DatePicker().Get(), (Date{2027, 2, 28}));
    EXPECT_EQ(next.TimePicker().Get(), (TimeOfDay{7, 5, 9}));
    EXPECT_EQ(next.LastRunTime(), "06:00:00");
    EXPECT_FALSE(next.HoursEnabled());
    EXPECT_EQ(box.shown.size(), 0U);
}

TEST_F(ScheduleEditorTest, NeverWritesNullForDateAndTime) {
    StartUp();
    editor.SelectRunOn(kNever);
    editor.cmdApply_Click();
    EXPECT_EQ(settings.values.at("Orvelle|Schedule|Date"), "Null");
    EXPECT_EQ(settings.values.at("Orvelle|Schedule|Time"), "Null");
    EXPECT_EQ(settings.values.at("Orvelle|Schedule|RunOn"), "10");

    ScheduleEditor next{settings, box, clock, {}};
    next.InitialisePickers();
    next.LoadSchedule();
    EXPECT_EQ(next.RunOn(), kNever);
    EXPECT_FALSE(next.HoursEnabled());
}

TEST_F(ScheduleEditorTest, WithoutRunOnTheOtherKeysAreIgnored) {
    settings.Put("Date", "2026-12-24");
    settings.Put("Time", "10:00:00");
    settings.Put("RunAfter", "5");
    settings.Put("LastRunTime", "09:00:00");
    StartUp();
    EXPECT_EQ(editor.RunOn(), kDaily);
    EXPECT_FALSE(editor.DatePicker().hasValue);
    EXPECT_FALSE(editor.TimePicker().hasValue);
    EXPECT_EQ(editor.HoursText(), "2");
    EXPECT_EQ(editor.LastRunTime(), "##:##:##");
}

TEST_F(ScheduleEditorTest, DamagedStoredValuesAreReportedAndTheRestStillLoads) {
    settings.Put("RunOn", "8");
    settings.Put("Date", "24/12/2026");
    settings.Put("Time", "Null");
    settings.Put("RunAfter", "4");
    settings.Put("LastRunTime", "09:00:00");
    StartUp();
    ASSERT_EQ(box.shown.size(), 1U);
    EXPECT_NE(box.shown[0].text.find("Error: 13 - Type mismatch: the setting Schedule\\Date holds "
                                     "\"24/12/2026\""),
              std::string::npos)
        << box.shown[0].text;
    EXPECT_EQ(editor.RunOn(), kDateOnly);
    EXPECT_FALSE(editor.DatePicker().hasValue);
    EXPECT_EQ(editor.HoursText(), "4");
    EXPECT_EQ(editor.LastRunTime(), "09:00:00");

    settings.Put("RunOn", "soon");
    settings.Put("Date", "Null");
    ScheduleEditor other{settings, box, clock, {}};
    other.InitialisePickers();
    other.LoadSchedule();
    EXPECT_EQ(other.RunOn(), kDaily);
    EXPECT_EQ(box.shown.size(), 2U);

    settings.Put("RunOn", "42");
    ScheduleEditor outOfRange{settings, box, clock, {}};
    outOfRange.LoadSchedule();
    EXPECT_EQ(outOfRange.RunOn(), kDaily);
    EXPECT_EQ(box.shown.size(), 3U);
}

TEST(ScheduleTypesTest, StoredFormsReadBackExactlyAndRefuseAnythingElse) {
    EXPECT_EQ(FormatDate(Date{2026, 3, 7}), "2026-03-07");
    EXPECT_EQ(FormatTime(TimeOfDay{9, 5, 0}), "09:05:00");
    EXPECT_EQ(ParseDate("2024-02-29"), (Date{2024, 2, 29}));
    EXPECT_EQ(ParseTime("23:59:59"), (TimeOfDay{23, 59, 59}));
    for (const char* bad :
         {"2023-02-29", "2026-13-01", "2026-1-01", "26-01-01", "2026/01/01", ""}) {
        EXPECT_FALSE(ParseDate(bad).has_value()) << bad;
    }
    for (const char* bad : {"24:00:00", "9:05:00", "09:60:00", "09:05", "Null", "##:##:##"}) {
        EXPECT_FALSE(ParseTime(bad).has_value()) << bad;
    }
}

namespace {

struct DueRow {
    const char* name;
    ScheduleState state;
    LocalDateTime now;
    DueResult expected;
};

ScheduleState Daily(std::optional<TimeOfDay> time, const char* hours, const char* lastRun) {
    return ScheduleState{kDaily, std::nullopt, time, hours, lastRun};
}

}  // namespace

TEST(DueTestTest, EveryRowOfTheDueTable) {
    const Date today{2026, 12, 9};  // a Wednesday
    const std::vector<DueRow> rows = {
        {"daily time, that second", Daily(TimeOfDay{14, 30, 0}, "2", "##:##:##"), At(14, 30, 0),
         DueResult::Due},
        {"daily time, next second", Daily(TimeOfDay{14, 30, 0}, "2", "##:##:##"), At(14, 30, 1),
         DueResult::NotDue},
        {"daily hours, one hour short", Daily(std::nullopt, "2", "10:45:10"), At(11, 59, 59),
         DueResult::NotDue},
        {"daily hours, two boundaries", Daily(std::nullopt, "2", "10:45:10"), At(12, 0, 0),
         DueResult::Due},
        {"hours as a number: 02", Daily(std::nullopt, "02", "10:45:10"), At(12, 0, 0),
         DueResult::Due},
        {"hours with blanks", Daily(std::nullopt, " 2 ", "10:45:10"), At(12, 0, 0), DueResult::Due},
        {"across midnight", Daily(std::nullopt, "2", "23:10:00"), At(1, 0, 0), DueResult::Due},
        {"zero hours never", Daily(std::nullopt, "0", "12:00:00"), At(12, 0, 0), DueResult::NotDue},
        {"negative hours never", Daily(std::nullopt, "-2", "14:00:00"), At(12, 0, 0),
         DueResult::NotDue},
        {"text hours never", Daily(std::nullopt, "two", "10:00:00"), At(12, 0, 0),
         DueResult::NotDue},
        {"empty hours never", Daily(std::nullopt, "", "10:00:00"), At(12, 0, 0), DueResult::NotDue},
        {"never run", Daily(std::nullopt, "2", "##:##:##"), At(12, 0, 0), DueResult::NotDue},
        {"damaged last run", Daily(std::nullopt, "2", "noon"), At(12, 0, 0),
         DueResult::DamagedLastRun},
        {"damaged last run, time set", Daily(TimeOfDay{12, 0, 0}, "2", "noon"), At(12, 0, 0),
         DueResult::Due},
        {"weekday, right day, time", ScheduleState{2, std::nullopt, TimeOfDay{8, 0, 0}, "", ""},
         At(8, 0, 0), DueResult::Due},
        {"weekday, wrong day", ScheduleState{0, std::nullopt, TimeOfDay{8, 0, 0}, "", ""},
         At(8, 0, 0), DueResult::NotDue},
        {"sunday is the seventh day", ScheduleState{6, std::nullopt, TimeOfDay{8, 0, 0}, "", ""},
         At(8, 0, 0, 13, 7), DueResult::Due},
        {"weekday, hours", ScheduleState{2, std::nullopt, std::nullopt, "3", "05:00:00"},
         At(8, 0, 0), DueResult::Due},
        {"date, hours", ScheduleState{kDateOnly, today, std::nullopt, "3", "08:15:00"},
         At(11, 0, 0), DueResult::Due},
        {"date, other day",
         ScheduleState{kDateOnly, Date{2026, 12, 10}, std::nullopt, "3", "08:15:00"}, At(11, 0, 0),
         DueResult::NotDue},
        {"date, no date", ScheduleState{kDateOnly, std::nullopt, std::nullopt, "3", "08:15:00"},
         At(11, 0, 0), DueResult::NotDue},
        {"date and time", ScheduleState{kDateAndTime, today, TimeOfDay{9, 0, 0}, "", "##:##:##"},
         At(9, 0, 0), DueResult::Due},
        {"date and time, in the past",
         ScheduleState{kDateAndTime, Date{2026, 12, 1}, TimeOfDay{9, 0, 0}, "", ""}, At(9, 0, 0),
         DueResult::NotDue},
        {"never", ScheduleState{kNever, today, TimeOfDay{9, 0, 0}, "1", "08:00:00"}, At(9, 0, 0),
         DueResult::NotDue},
        {"no selection", ScheduleState{-1, today, TimeOfDay{9, 0, 0}, "1", "08:00:00"}, At(9, 0, 0),
         DueResult::NotDue},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(IsScheduleDue(row.state, row.now), row.expected) << row.name;
    }
}

namespace {

struct FakeSwitch final : ITimerSwitch {
    explicit FakeSwitch(bool initially) : on(initially) {}
    [[nodiscard]] bool Enabled() const override { return on; }
    void SetEnabled(bool enabled) override { on = enabled; }
    bool on;
};

// Drives the timers second by second against the fake clock. The run does what the
// cleaning run promises the schedule: refuse while pending; else stamp the last-run
// label, switch both timers off while it works and arm the re-arm timer at its end.
class ScheduleDay {
public:
    ScheduleDay(ScheduleEditor& editor, RecordingSettings& settings,
                desktop::fake::FakeMessageBox& box, os::fake::FakeClock& clock)
        : editor_(editor),
          clock_(clock),
          timers_(editor, settings, box, clock, schedule, rearm, [this] {
              Run();
              return true;
          }) {}

    void Second() {
        if (rearm.on && armedAt_ >= 0 && Seconds() - armedAt_ >= 1) {
            timers_.tmrMakeScehduleEnable_Timer();
        }
        if (schedule.on) {
            timers_.tmrSchedule_Timer();
        }
    }
    void AdvanceTo(int day, int hour, int minute, int second) {
        while (clock_.now.day < day ||
               (clock_.now.day == day && Seconds() % 86400 < hour * 3600 + minute * 60 + second)) {
            Second();
            Tick();
        }
    }
    std::vector<std::string> runs;
    FakeSwitch schedule{true};
    FakeSwitch rearm{false};

private:
    [[nodiscard]] long Seconds() const {
        return clock_.now.day * 86400L + clock_.now.hour * 3600 + clock_.now.minute * 60 +
               clock_.now.second;
    }
    void Tick() {
        auto& n = clock_.now;
        if (++n.second == 60) {
            n.second = 0;
            if (++n.minute == 60) {
                n.minute = 0;
                if (++n.hour == 24) {
                    n.hour = 0;
                    ++n.day;
                    n.dayOfWeek = n.dayOfWeek % 7 + 1;
                }
            }
        }
    }
    void Run() {
        if (editor_.IsPending()) {
            return;
        }
        const std::string stamp =
            FormatTime(TimeOfDay{clock_.now.hour, clock_.now.minute, clock_.now.second});
        runs.push_back(std::to_string(clock_.now.day) + " " + stamp);
        editor_.SetLastRunTime(stamp);
        schedule.on = false;
        rearm.on = true;
        armedAt_ = Seconds();
    }
    ScheduleEditor& editor_;
    os::fake::FakeClock& clock_;
    ScheduleTimers timers_;
    long armedAt_ = -1;
};

}  // namespace

TEST_F(ScheduleEditorTest, DailyTimeFiresOnceAndTheReArmRecordsTheRun) {
    clock.now = At(14, 29, 58);
    StartUp();
    editor.UserEditsTime(TimeOfDay{14, 30, 0});
    editor.cmdApply_Click();
    ScheduleDay day(editor, settings, box, clock);
    day.AdvanceTo(10, 14, 31, 0);
    EXPECT_EQ(day.runs, (std::vector<std::string>{"9 14:30:00", "10 14:30:00"}));
    EXPECT_EQ(settings.values.at("Orvelle|Schedule|LastRunTime"), "14:30:00");
    EXPECT_TRUE(day.schedule.on);
    EXPECT_FALSE(day.rearm.on);
}

TEST_F(ScheduleEditorTest, DateModeRunsEveryThreeHoursThatDayOnly) {
    clock.now = At(8, 0, 0);
    StartUp();
    editor.SelectRunOn(kDateOnly);
    editor.UserEditsDate(Date{2026, 12, 9});
    editor.SetHoursText("3");
    editor.SetLastRunTime("08:15:00");
    editor.cmdApply_Click();
    ScheduleDay day(editor, settings, box, clock);
    day.AdvanceTo(11, 0, 0, 0);
    EXPECT_EQ(day.runs, (std::vector<std::string>{"9 11:00:00", "9 14:00:00", "9 17:00:00",
                                                  "9 20:00:00", "9 23:00:00"}));
}

TEST_F(ScheduleEditorTest, HoursKeepFiringAcrossMidnight) {
    clock.now = At(22, 0, 0);
    StartUp();
    editor.SetHoursText("2");
    editor.SetLastRunTime("23:10:00");
    editor.cmdApply_Click();
    ScheduleDay day(editor, settings, box, clock);
    day.AdvanceTo(10, 4, 30, 0);
    EXPECT_EQ(day.runs, (std::vector<std::string>{"10 01:00:00", "10 03:00:00"}));
}

TEST_F(ScheduleEditorTest, PendingEditsKeepADueScheduleFromRunning) {
    clock.now = At(14, 29, 0);
    StartUp();
    editor.UserEditsTime(TimeOfDay{14, 30, 0});
    ScheduleDay day(editor, settings, box, clock);  // never applied: still pending
    day.AdvanceTo(9, 14, 31, 0);
    EXPECT_TRUE(day.runs.empty());
    editor.cmdApply_Click();
    editor.UserEditsTime(TimeOfDay{14, 32, 0});
    editor.cmdApply_Click();
    day.AdvanceTo(9, 14, 33, 0);
    EXPECT_EQ(day.runs, (std::vector<std::string>{"9 14:32:00"}));
}

TEST_F(ScheduleEditorTest, ADamagedLastRunIsReportedOnceNotOnEveryTick) {
    clock.now = At(9, 0, 0);
    StartUp();
    editor.SetLastRunTime("half past nine");
    editor.cmdApply_Click();
    ScheduleDay day(editor, settings, box, clock);
    day.AdvanceTo(9, 9, 10, 0);
    ASSERT_EQ(box.shown.size(), 1U);
    EXPECT_NE(box.shown[0].text.find("\"half past nine\" is not a time of day"), std::string::npos);
    EXPECT_TRUE(day.runs.empty());
    editor.SetLastRunTime("also broken");
    day.AdvanceTo(9, 9, 11, 0);
    EXPECT_EQ(box.shown.size(), 2U) << "another damaged text is worth one more report";
}
