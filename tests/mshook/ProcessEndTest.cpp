// The real program on the test's X server, ended from outside: whatever way it ends, the
// windows its hot key hid come back where and as they were.

#include "TempEnvironment.h"
#include "X11TestClient.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

extern char** environ;

using orvelle::test::X11TestClient;
using namespace std::chrono_literals;

namespace {

bool WithWindowManager() {
    const char* manager = std::getenv("ORVELLE_TEST_WINDOW_MANAGER");
    return manager != nullptr && std::string(manager) == "openbox";
}

template <typename Condition>
bool WaitFor(Condition condition, std::chrono::milliseconds timeout = 5s) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

class ProcessEndTest : public ::testing::Test {
protected:
    ~ProcessEndTest() override {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }

    // Starts the program and waits until its hot key is grabbed.
    void Start() {
        char* argv[] = {const_cast<char*>(ORVELLE_PROGRAM), nullptr};
        ASSERT_EQ(::posix_spawn(&pid_, ORVELLE_PROGRAM, nullptr, nullptr, argv, environ), 0);
        // The program grabs its hot key before it shows its window. Probing the grab
        // earlier would take the key for an instant and could make the program's own
        // grab fail, so the probe waits for the window first.
        ASSERT_EQ(std::system("timeout 20 xdotool search --sync --onlyvisible --name Orvelle "
                              ">/dev/null 2>&1"),
                  0)
            << "the program never showed its window";
        ASSERT_TRUE(WaitFor(
            [&] {
                if (desktop.GrabHotKey()) {
                    desktop.UngrabHotKey();
                    return false;
                }
                return true;
            },
            15s))
            << "the program never grabbed its hot key";
    }

    // Sends `signal` and waits for the process; its wait status.
    int End(int signal) {
        ::kill(pid_, signal);
        int status = -1;
        const bool ended = WaitFor([&] { return ::waitpid(pid_, &status, WNOHANG) == pid_; }, 10s);
        EXPECT_TRUE(ended) << "the program did not end on signal " << signal;
        pid_ = ended ? 0 : pid_;
        return status;
    }

    // Two windows, the second maximised (with a window manager), both placed.
    void MakeWindows() {
        plain = desktop.CreateWindow("Plain window", true);
        big = desktop.CreateWindow("Maximised window", true);
        ASSERT_TRUE(desktop.WaitForMapState(plain, X11TestClient::kViewable));
        ASSERT_TRUE(desktop.WaitForMapState(big, X11TestClient::kViewable));
        desktop.MoveResize(plain, {150, 130, 320, 210});
        if (WithWindowManager()) {
            desktop.AddState(big, "_NET_WM_STATE_MAXIMIZED_VERT", "_NET_WM_STATE_MAXIMIZED_HORZ");
            ASSERT_TRUE(WaitFor([&] { return desktop.StateOf(big) == kMaximised; }));
        }
        ASSERT_TRUE(WaitFor([&] {
            const auto geometry = desktop.GeometryOf(plain);
            return geometry && geometry->width == 320 && geometry->height == 210;
        }));
        std::this_thread::sleep_for(100ms);  // let the manager finish placing them
        plainPlace = *desktop.GeometryOf(plain);
        bigPlace = *desktop.GeometryOf(big);
        if (WithWindowManager()) {
            ASSERT_GT(bigPlace.width, 1000) << "maximised on the 1280-pixel screen";
        }
    }

    void HideBoth() {
        desktop.Focus(plain);
        desktop.PressHotKey();
        ASSERT_TRUE(desktop.WaitForMapState(plain, X11TestClient::kUnmapped));
        ASSERT_TRUE(desktop.WaitForMapState(big, X11TestClient::kUnmapped));
    }

    void ExpectBothBackInPlace() {
        EXPECT_TRUE(desktop.WaitForMapState(plain, X11TestClient::kViewable));
        EXPECT_TRUE(desktop.WaitForMapState(big, X11TestClient::kViewable));
        EXPECT_TRUE(WaitFor([&] { return desktop.GeometryOf(plain) == plainPlace; }))
            << "plain window at " << desktop.GeometryOf(plain)->x << ","
            << desktop.GeometryOf(plain)->y << " " << desktop.GeometryOf(plain)->width << "x"
            << desktop.GeometryOf(plain)->height;
        EXPECT_TRUE(WaitFor([&] { return desktop.GeometryOf(big) == bigPlace; }))
            << "maximised window " << desktop.GeometryOf(big)->width << "x"
            << desktop.GeometryOf(big)->height;
        if (WithWindowManager()) {
            EXPECT_EQ(desktop.StateOf(big), kMaximised);
        }
    }

    const std::vector<std::string> kMaximised = {"_NET_WM_STATE_MAXIMIZED_HORZ",
                                                 "_NET_WM_STATE_MAXIMIZED_VERT"};
    orvelle::test::TempEnvironment environment;
    X11TestClient desktop;
    X11TestClient::Window plain = 0;
    X11TestClient::Window big = 0;
    X11TestClient::Geometry plainPlace;
    X11TestClient::Geometry bigPlace;
    pid_t pid_ = 0;
};

TEST_F(ProcessEndTest, EndingSignalsShowTheHiddenWindowsAtTheirPlaceAndInTheirState) {
    ASSERT_TRUE(desktop.Connected());
    MakeWindows();
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        Start();
        HideBoth();
        const int status = End(signal);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "an orderly end " << signal;
        ExpectBothBackInPlace();
        EXPECT_FALSE(orvelle::test::Exists(environment.Path("runtime/orvelle-hidden-windows")));
    }
}

TEST_F(ProcessEndTest, AfterSigkillTheNextStartShowsThemAgain) {
    ASSERT_TRUE(desktop.Connected());
    MakeWindows();
    Start();
    HideBoth();
    End(SIGKILL);
    EXPECT_EQ(desktop.MapState(plain), X11TestClient::kUnmapped) << "nothing could show them";
    EXPECT_TRUE(orvelle::test::Exists(environment.Path("runtime/orvelle-hidden-windows")));
    Start();
    ExpectBothBackInPlace();
    EXPECT_FALSE(orvelle::test::Exists(environment.Path("runtime/orvelle-hidden-windows")));
    End(SIGTERM);
}

TEST_F(ProcessEndTest, HideAndShowKeepAMaximisedWindowMaximisedAtItsPlace) {
    ASSERT_TRUE(desktop.Connected());
    MakeWindows();
    Start();
    HideBoth();
    desktop.PressHotKey();
    ExpectBothBackInPlace();
    End(SIGTERM);
}

}  // namespace
