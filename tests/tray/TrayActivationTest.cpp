// The tray icon on a StatusNotifierItem tray: a private session bus with a watcher of our
// own (tests/tray/StatusNotifierWatcher.cpp), and the item's methods called as a panel
// calls them. Runs under Xvfb (run_under_xvfb.sh).

#include "FakeDesktop.h"
#include "FakeOs.h"
#include "FakeStore.h"
#include "ProgramServices.h"
#include "TempEnvironment.h"
#include "frmMain.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QMenu>
#include <QProcess>
#include <QTest>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

extern char** environ;

using namespace orvelle;

namespace {

// A child whose standard output we read, line by line, without blocking.
struct Child {
    pid_t pid = 0;
    int out = -1;
    std::string buffer;

    bool Start(std::vector<std::string> arguments) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) {
            return false;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
        std::vector<char*> argv;
        for (auto& argument : arguments) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        const int rc = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        out = fds[0];
        ::fcntl(out, F_SETFL, O_NONBLOCK);
        return rc == 0;
    }
    // The next line, waiting at most `timeout` (pumping Qt's events meanwhile).
    std::string Line(std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            char chunk[256];
            const ssize_t count = ::read(out, chunk, sizeof chunk);
            if (count > 0) {
                buffer.append(chunk, static_cast<std::size_t>(count));
            }
            if (const auto end = buffer.find('\n'); end != std::string::npos) {
                std::string line = buffer.substr(0, end);
                buffer.erase(0, end + 1);
                return line;
            }
            if (QCoreApplication::instance() != nullptr) {
                QCoreApplication::processEvents();
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return {};
    }
    ~Child() {
        if (pid > 0) {
            ::kill(pid, SIGTERM);
            ::waitpid(pid, nullptr, 0);
        }
        if (out >= 0) {
            ::close(out);
        }
    }
};

Child g_bus;
Child g_watcher;

// What a panel does: calls one of the item's methods.
bool CallItem(const std::string& service, const char* method) {
    QProcess call;
    call.start(QStringLiteral("dbus-send"),
               {QStringLiteral("--session"), QStringLiteral("--print-reply"),
                QStringLiteral("--dest=") + QString::fromStdString(service),
                QStringLiteral("/StatusNotifierItem"),
                QStringLiteral("org.kde.StatusNotifierItem.") + QLatin1String(method),
                QStringLiteral("int32:20"), QStringLiteral("int32:20")});
    // The item answers from this process's event loop: keep it turning.
    return QTest::qWaitFor([&] { return call.state() == QProcess::NotRunning; }, 10000) &&
           call.exitCode() == 0;
}

TEST(StatusNotifierTrayTest, ALeftClickShowsTheWindowAndTheMenuComesAsBefore) {
    test::TempEnvironment environment;
    desktop::fake::FakeMessageBox messageBox;
    wiring::ProgramServices posix(&messageBox);
    ASSERT_TRUE(posix.tray.OnStatusNotifierTray()) << "the watcher with its host was seen";
    shell::frmMain window(posix.services);
    window.Form_Load();
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    const std::string registered = g_watcher.Line();
    ASSERT_EQ(registered.rfind("item ", 0), 0U) << "the icon registered with the watcher";
    const std::string item = registered.substr(5);

    window.close();  // the close box hides it to the tray
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.isVisible(); }, 2000));
    ASSERT_TRUE(CallItem(item, "Activate"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.isVisible(); }, 5000))
        << "activation does what the double click does on an XEmbed tray";
    EXPECT_TRUE(QTest::qWaitFor([&] { return !window.isMinimized(); }, 5000)) << "in normal state";

    ASSERT_TRUE(CallItem(item, "ContextMenu"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.mnuNimbra->isVisible(); }, 5000))
        << "the right button still opens the menu";
    window.mnuNimbra->hide();
    EXPECT_THAT(messageBox.shown, ::testing::IsEmpty());
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::fprintf(stderr, "This test needs an X display; run it through run_under_xvfb.sh\n");
        return 1;
    }
    // The bus and its watcher come first: the toolkit picks its tray when the icon is made.
    if (!g_bus.Start({"dbus-daemon", "--session", "--nofork", "--print-address=1"})) {
        std::fprintf(stderr, "dbus-daemon could not be started (scripts/install-deps)\n");
        return 1;
    }
    const std::string address = g_bus.Line();
    if (address.empty()) {
        std::fprintf(stderr, "dbus-daemon gave no address\n");
        return 1;
    }
    ::setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
    if (!g_watcher.Start({SNI_WATCHER}) || g_watcher.Line() != "ready") {
        std::fprintf(stderr, "the StatusNotifierWatcher did not start\n");
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    testing::InitGoogleMock(&argc, argv);
    return RUN_ALL_TESTS();
}
