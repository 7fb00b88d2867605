#include "FileHandOver.h"
#include "TempEnvironment.h"

#include <QTest>

#include <sys/stat.h>

#include <future>
#include <string>
#include <vector>

#include <gtest/gtest.h>

using orvelle::desktop::qt::FileHandOver;
using orvelle::desktop::qt::HandOverSocketPath;

namespace {

// A second copy hands paths (any bytes but a line end) to the running one, over a
// socket only this user may open; with no copy listening, nothing is handed over.
TEST(FileHandOverTest, ASecondCopyHandsItsFileToTheRunningOne) {
    orvelle::test::TempEnvironment env;
    const std::string socket = HandOverSocketPath(env.Path("runtime/orvelle.lock"));
    EXPECT_EQ(socket, env.Path("runtime/orvelle.lock.open"));
    EXPECT_FALSE(FileHandOver::Send(socket, "/home/u/a.kdf")) << "no copy listens yet";

    std::vector<std::string> opened;
    FileHandOver running;
    ASSERT_TRUE(running.Listen(socket, [&](const std::string& path) { opened.push_back(path); }));
    struct stat info {};
    ASSERT_EQ(::lstat(socket.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 077, 0U) << "others may reach the socket";

    const std::vector<std::string> paths{"/home/u/a.kdf", "/home/u/caf\xE9 \xE6\x97\xA5.age",
                                         std::string(3000, 'x')};
    for (const std::string& path : paths) {
        // The second copy blocks until the running one, on its event loop, answers.
        auto sent =
            std::async(std::launch::async, [&] { return FileHandOver::Send(socket, path); });
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return sent.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
            5000));
        EXPECT_TRUE(sent.get()) << path.size();
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return opened.size() == paths.size(); }, 2000));
    EXPECT_EQ(opened, paths);
    EXPECT_FALSE(FileHandOver::Send(socket, "two\nlines"));

    // A socket left by a killed copy does not keep the next one from listening.
    FileHandOver next;
    EXPECT_TRUE(next.Listen(socket, [](const std::string&) {}));
}

}  // namespace
