// The switch's stored form, "wavpath.txt" and the window log's rows.

#include "FakeBrowser.h"
#include "FakeDesktop.h"
#include "FakeOs.h"
#include "FakeStore.h"
#include "PopupKillerState.h"
#include "WavPathFile.h"
#include "WindowLog.h"
#include "cIEWindows.h"
#include "os/RuntimeError.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace orvelle;
using namespace orvelle::os;
using namespace orvelle::desktop;
using namespace orvelle::browsers;

TEST(PopupKillerStateTest, OnlyTheTextZeroSwitchesTheKillerOff) {
    const struct {
        const char* stored;
        bool on;
    } rows[] = {
        {"0", false}, {"1", true},  {"", true},   {"no", true},  {"false", true},
        {"00", true}, {" 0", true}, {"0 ", true}, {"off", true}, {"-1", true},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(popup::PopupKillerState::IsActiveText(row.stored), row.on)
            << '"' << row.stored << '"';
    }
    EXPECT_STREQ(popup::PopupKillerState::ActiveText(true), "1");
    EXPECT_STREQ(popup::PopupKillerState::ActiveText(false), "0");
}

TEST(PopupKillerStateTest, AnEmptySoundPathBecomesTheProgramsDingFromThenOn) {
    os::fake::FakeProcessInfo process{"/usr/lib/orvelle", "orvelle"};
    popup::PopupKillerState state;
    EXPECT_FALSE(state.IsActive()) << "off until the load step reads the setting";
    EXPECT_EQ(state.SoundPathForPopup(process), "/usr/lib/orvelle/ding.wav");
    EXPECT_EQ(state.SoundPath(), "/usr/lib/orvelle/ding.wav");
    state.SetSoundPath("/home/u/pop.wav");
    EXPECT_EQ(state.SoundPathForPopup(process), "/home/u/pop.wav");
}

TEST(WavPathFileTest, TheFirstLineIsTheSoundPathAndAMissingOrEmptyFileReadsAsEmpty) {
    os::fake::FakeFileSystem files;
    os::fake::FakeProcessInfo process{"/opt/orvelle", "orvelle"};
    const std::string name = "/opt/orvelle/wavpath.txt";
    const struct {
        const char* what;
        const char* content;  // null: no file
        const char* path;
    } rows[] = {
        {"no file", nullptr, ""},
        {"an empty file", "", ""},
        {"CR LF", "/snd/a.wav\r\n", "/snd/a.wav"},
        {"LF only", "/snd/a.wav\n", "/snd/a.wav"},
        {"no line end", "/snd/a.wav", "/snd/a.wav"},
        {"only the first line counts", "/snd/a.wav\r\n/snd/b.wav\r\n", "/snd/a.wav"},
        {"an empty first line", "\r\n/snd/b.wav\r\n", ""},
        {"spaces are kept", "/snd/my ding.wav \r\n", "/snd/my ding.wav "},
    };
    for (const auto& row : rows) {
        files.files.clear();
        if (row.content != nullptr) {
            files.files[name] = row.content;
        }
        EXPECT_EQ(popup::ReadWavPathFile(files, process), row.path) << row.what;
    }
}

TEST(WavPathFileTest, WritesExactlyOneLineEndedByCrLf) {
    os::fake::FakeFileSystem files;
    os::fake::FakeProcessInfo process{"/opt/orvelle", "orvelle"};
    files.files["/opt/orvelle/wavpath.txt"] = "/old.wav\r\nleft over\r\n";
    popup::WriteWavPathFile(files, process, "/home/u/sounds/pop.wav");
    EXPECT_EQ(files.files.at("/opt/orvelle/wavpath.txt"), "/home/u/sounds/pop.wav\r\n");
    popup::WriteWavPathFile(files, process, "");
    EXPECT_EQ(files.files.at("/opt/orvelle/wavpath.txt"), "\r\n");
}

TEST(WavPathFileTest, APathWithALineBreakIsRefusedAndTheFileKept) {
    os::fake::FakeFileSystem files;
    os::fake::FakeProcessInfo process{"/opt/orvelle", "orvelle"};
    files.files["/opt/orvelle/wavpath.txt"] = "/old.wav\r\n";
    for (const char* path : {"/a\nb.wav", "/a\rb.wav", "/a.wav\r\n"}) {
        EXPECT_FALSE(popup::IsStorableSoundPath(path));
        EXPECT_THROW(popup::WriteWavPathFile(files, process, path), RuntimeError);
    }
    EXPECT_EQ(files.files.at("/opt/orvelle/wavpath.txt"), "/old.wav\r\n");
}

TEST(WavPathFileTest, AFailedWriteIsReportedToTheCaller) {
    os::fake::FakeFileSystem files;
    os::fake::FakeProcessInfo process{"/opt/orvelle", "orvelle"};
    files.failWrites = true;
    EXPECT_THROW(popup::WriteWavPathFile(files, process, "/snd/a.wav"), RuntimeError);
}

TEST(WindowLogTest, TimeOfDayOnATwelveHourClockWithTwoDigitsEach) {
    const struct {
        int hour, minute, second;
        const char* text;
    } rows[] = {
        {0, 5, 9, "12:05:09 AM"},  {1, 0, 0, "01:00:00 AM"},  {11, 59, 59, "11:59:59 AM"},
        {12, 0, 0, "12:00:00 PM"}, {13, 4, 5, "01:04:05 PM"}, {23, 59, 59, "11:59:59 PM"},
    };
    for (const auto& row : rows) {
        LocalDateTime time;
        time.hour = row.hour;
        time.minute = row.minute;
        time.second = row.second;
        EXPECT_EQ(popup::FormatTimeAmPm(time), row.text);
    }
    LocalDateTime evening;
    evening.hour = 19;
    EXPECT_EQ(popup::FormatTimeAmPm(evening, "vorm.", "nachm."), "07:00:00 nachm.")
        << "the system's designators";
    EXPECT_EQ(popup::FormatTimeAmPm(evening, "", ""), "07:00:00 PM")
        << "a system without designators still tells morning from evening";
}

TEST(WindowLogTest, OneRowPerWindowKeyedByHandleAndKWithTheSameTime) {
    browsers::fake::FakeBrowserSource source;
    os::fake::FakeEventPump eventPump;
    desktop::fake::FakeKeyState keys;
    desktop::fake::FakeSound sound;
    os::fake::FakeProcessInfo process;
    popup::PopupKillerState state;
    popup::Events relay;
    source.windows = {
        std::make_shared<browsers::fake::FakeBrowserWindow>(5000, "Start", "http://start/"),
        std::make_shared<browsers::fake::FakeBrowserWindow>(77, "News", "http://news/"),
        std::make_shared<browsers::fake::FakeBrowserWindow>(78, "Gone", "http://gone/"),
        std::make_shared<browsers::fake::FakeBrowserWindow>(79, "No address", "http://hidden/"),
    };
    source.windows[2]->failLocationName = true;
    source.windows[3]->failLocationURL = true;
    popup::cIEWindows windows(
        popup::TrackingServices{source, eventPump, keys, sound, process, state, relay});

    const auto rows = popup::WindowLogRows(windows, "03:04:05 PM");
    const std::vector<popup::WindowLogRow> expected = {
        {"5000K", "Start", "http://start/", "03:04:05 PM"},
        {"77K", "News", "http://news/", "03:04:05 PM"},
        {"79K", "No address", "", "03:04:05 PM"},
    };
    EXPECT_EQ(rows, expected) << "an unreadable title leaves the window out, an unreadable "
                                 "address only its cell";
}
