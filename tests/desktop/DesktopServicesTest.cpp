// The desktop services the popup killer uses, against the real things: key and
// pointer state from an X server (Xvfb, driven by xdotool), sound through a
// PulseAudio server with a null sink, and the file dialog's filter.

#include "QtSound.h"
#include "TempEnvironment.h"
#include "X11KeyState.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

using namespace orvelle;
using namespace orvelle::desktop;

namespace {

constexpr int kStartTimeoutMs = 20000;

// A private X server; DISPLAY points at it while it lives.
class PrivateXServer {
public:
    explicit PrivateXServer(test::TempEnvironment& environment) : environment_(environment) {
        process_.setProgram(QStringLiteral("Xvfb"));
        process_.setArguments({QStringLiteral("-displayfd"), QStringLiteral("1"),
                               QStringLiteral("-screen"), QStringLiteral("0"),
                               QStringLiteral("800x600x24"), QStringLiteral("-nolisten"),
                               QStringLiteral("tcp")});
        process_.start();
        if (!process_.waitForStarted(kStartTimeoutMs)) {
            ADD_FAILURE() << "Xvfb did not start (scripts/install-deps installs it)";
            return;
        }
        QString output;
        static_cast<void>(QTest::qWaitFor(
            [&] {
                output += QString::fromUtf8(process_.readAllStandardOutput());
                return output.contains(QLatin1Char('\n'));
            },
            kStartTimeoutMs));
        display_ = QStringLiteral(":") + output.trimmed();
        if (output.trimmed().isEmpty()) {
            ADD_FAILURE() << "Xvfb did not say its display";
        }
        environment_.Set("DISPLAY", display_.toStdString());
    }
    ~PrivateXServer() {
        process_.kill();
        process_.waitForFinished(5000);
    }
    PrivateXServer(const PrivateXServer&) = delete;
    PrivateXServer& operator=(const PrivateXServer&) = delete;

    // Runs xdotool with these arguments on this display.
    void XdoTool(const QStringList& arguments) {
        QProcess tool;
        tool.start(QStringLiteral("xdotool"), arguments);
        ASSERT_TRUE(tool.waitForFinished(kStartTimeoutMs)) << "xdotool did not finish";
        ASSERT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();
    }

private:
    test::TempEnvironment& environment_;
    QProcess process_;
    QString display_;
};

}  // namespace

TEST(X11KeyStateTest, ReadsCtrlShiftAltTheLeftButtonAndTheCursorFromTheXServer) {
    test::TempEnvironment environment;
    PrivateXServer server(environment);
    desktop::x11::X11KeyState keys;
    ASSERT_TRUE(keys.HasDisplay());
    for (const int key : {VK_CONTROL, VK_SHIFT, VK_MENU, VK_LBUTTON}) {
        EXPECT_EQ(keys.GetAsyncKeyState(key), 0) << "key " << key << " starts up";
    }
    const struct {
        const char* xdoKey;
        int virtualKey;
    } rows[] = {
        {"Control_L", VK_CONTROL}, {"Control_R", VK_CONTROL}, {"Shift_L", VK_SHIFT},
        {"Shift_R", VK_SHIFT},     {"Alt_L", VK_MENU},
    };
    for (const auto& row : rows) {
        server.XdoTool({QStringLiteral("keydown"), QLatin1String(row.xdoKey)});
        EXPECT_EQ(keys.GetAsyncKeyState(row.virtualKey), kKeyDownNow) << row.xdoKey;
        for (const int other : {VK_CONTROL, VK_SHIFT, VK_MENU}) {
            if (other != row.virtualKey) {
                EXPECT_EQ(keys.GetAsyncKeyState(other), 0) << row.xdoKey << " is not " << other;
            }
        }
        server.XdoTool({QStringLiteral("keyup"), QLatin1String(row.xdoKey)});
        EXPECT_EQ(keys.GetAsyncKeyState(row.virtualKey), 0) << row.xdoKey << " released";
    }
    server.XdoTool({QStringLiteral("mousemove"), QStringLiteral("123"), QStringLiteral("45")});
    EXPECT_EQ(keys.GetCursorPos(), (ScreenPoint{123, 45}));
    server.XdoTool({QStringLiteral("mousedown"), QStringLiteral("1")});
    EXPECT_EQ(keys.GetAsyncKeyState(VK_LBUTTON), kKeyDownNow);
    server.XdoTool({QStringLiteral("mouseup"), QStringLiteral("1")});
    EXPECT_EQ(keys.GetAsyncKeyState(VK_LBUTTON), 0);
    server.XdoTool({QStringLiteral("mousedown"), QStringLiteral("3")});
    EXPECT_EQ(keys.GetAsyncKeyState(VK_LBUTTON), 0) << "the right button is not the left";
    server.XdoTool({QStringLiteral("mouseup"), QStringLiteral("3")});
    EXPECT_EQ(keys.GetAsyncKeyState(0x41), 0) << "keys it does not know read as up";
}

TEST(X11KeyStateTest, WithoutAnXServerEveryKeyIsUp) {
    test::TempEnvironment environment;
    environment.Set("DISPLAY", std::nullopt);
    desktop::x11::X11KeyState keys;
    EXPECT_FALSE(keys.HasDisplay());
    for (const int key : {VK_CONTROL, VK_SHIFT, VK_MENU, VK_LBUTTON}) {
        EXPECT_EQ(keys.GetAsyncKeyState(key), 0);
    }
    EXPECT_EQ(keys.GetCursorPos(), (ScreenPoint{0, 0}));
}

// Whether the sound server of this environment lists the test's null sink.
static bool NullSinkAnswers() {
    QProcess client;
    client.start(QStringLiteral("pactl"),
                 {QStringLiteral("list"), QStringLiteral("short"), QStringLiteral("sinks")});
    return client.waitForFinished(kStartTimeoutMs) && client.exitCode() == 0 &&
           client.readAllStandardOutput().contains("orvelle_test");
}

// Each sound case runs in a process of its own: Qt asks for the audio devices once.
class QtSoundTest : public ::testing::Test {
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }

    static std::string DingWav() {
        return QCoreApplication::applicationDirPath().toStdString() + "/ding.wav";
    }
};

TEST_F(QtSoundTest, PlaysTheDingToTheEndOnAnAudioDevice) {
    EXPECT_EXIT(
        {
            test::TempEnvironment environment;
            QProcess pulse;
            pulse.setProgram(QStringLiteral("pulseaudio"));
            pulse.setArguments(
                {QStringLiteral("-n"), QStringLiteral("--daemonize=no"),
                 QStringLiteral("--exit-idle-time=-1"), QStringLiteral("--disable-shm=yes"),
                 QStringLiteral("-L"), QStringLiteral("module-null-sink sink_name=orvelle_test"),
                 QStringLiteral("-L"), QStringLiteral("module-native-protocol-unix")});
            pulse.setStandardErrorFile(QString::fromStdString(environment.Path("pulse.log")));
            pulse.start();
            // Ready once it answers with its sink, not as soon as its socket shows.
            const bool serving = pulse.waitForStarted(kStartTimeoutMs) &&
                                 QTest::qWaitFor([] { return NullSinkAnswers(); }, kStartTimeoutMs);
            desktop::qt::QtSound sound;
            sound.PlaySoundAsync(DingWav());
            const bool started =
                QTest::qWaitFor([&] { return sound.IsPlaying(); }, kStartTimeoutMs);
            const bool finished =
                QTest::qWaitFor([&] { return !sound.IsPlaying(); }, kStartTimeoutMs);
            const bool played = !sound.LastPlayed().isEmpty();
            pulse.kill();
            pulse.waitForFinished(5000);
            std::fprintf(stderr, "serving %d, started %d, finished %d\n", serving, started,
                         finished);
            std::fflush(stderr);
            // The answer is known; with the server gone, the sound backend's own teardown at
            // exit can trip libpulse's assertion on its dead connection, so no exit handlers run.
            std::_Exit(serving && started && finished && played ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(QtSoundTest, WithoutAnAudioDeviceNothingIsStartedAndNothingWaits) {
    EXPECT_EXIT(
        {
            test::TempEnvironment environment;
            // No sound server can be reached from here.
            environment.Set("PULSE_SERVER", "unix:" + environment.Path("no-such-socket"));
            desktop::qt::QtSound sound;
            sound.PlaySoundAsync(DingWav());
            std::exit(sound.LastPlayed().isEmpty() && !sound.IsPlaying() ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(QtSoundFilesTest, AMissingOrUnreadableFilePlaysNothingAndReportsNothing) {
    test::TempEnvironment environment;
    desktop::qt::QtSound sound;
    sound.PlaySoundAsync(environment.Path("missing.wav"));
    sound.PlaySoundAsync(environment.Root());  // a folder
    sound.PlaySoundAsync("");
    EXPECT_TRUE(sound.LastPlayed().isEmpty());
    EXPECT_FALSE(sound.IsPlaying());
}
