// orvelle-clean at its edges: a profile folder whose name is not UTF-8 gives a valid
// JSON preview that still carries the exact bytes, and the cleaning lock is the same
// one whatever environment the clean starts in.

#include "FlockCleaningLock.h"
#include "PrivateMounts.h"
#include "TempEnvironment.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>

using namespace orvelle;

namespace {

std::string Output(const std::string& command, int& code) {
    FILE* pipe = ::popen(command.c_str(), "r");
    std::string output;
    char buffer[512];
    std::size_t got = 0;
    while (pipe != nullptr && (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        output.append(buffer, got);
    }
    const int status = pipe != nullptr ? ::pclose(pipe) : -1;
    code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return output;
}

// Back from the "Bytes" field: every character U+0000…U+00FF is one byte.
std::string Latin1Bytes(const std::string& utf8) {
    std::string bytes;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            bytes += static_cast<char>(c);
        } else {
            EXPECT_TRUE(c == 0xc2 || c == 0xc3) << "only U+0080…U+00FF";
            bytes += static_cast<char>(((c & 0x03) << 6) |
                                       (static_cast<unsigned char>(utf8[++i]) & 0x3f));
        }
    }
    return bytes;
}

TEST(CommandNamesTest, AFolderNameThatIsNotUtf8GivesAValidJsonPreviewWithItsBytes) {
    test::TempEnvironment environment;
    const std::string name = "caf\xe9\xff.default";
    const std::string cache = environment.Path("cache/mozilla/firefox/" + name + "/cache2");
    test::MakeDirs(environment.Path("home/.mozilla/firefox/" + name));
    test::MakeDirs(cache);
    test::WriteFile(cache + "/entry", std::string(100, 'c'));
    test::WriteFile(environment.Path("home/.mozilla/firefox/profiles.ini"),
                    "[Profile0]\nName=\x80\x1b[2J\nIsRelative=1\nPath=" + name + "\n");
    int code = -1;
    const std::string text =
        Output(std::string(ORVELLE_CLEAN) + " --preview --json --only 6", code);
    EXPECT_EQ(code, 0) << text;
    const auto document = nlohmann::json::parse(text, nullptr, false);
    ASSERT_FALSE(document.is_discarded()) << text;
    const auto& items = document["options"][0]["items"];
    ASSERT_EQ(items.size(), 1U) << text;
    EXPECT_EQ(Latin1Bytes(items[0]["pathBytes"].get<std::string>()), cache);
    EXPECT_EQ(Latin1Bytes(items[0]["profileBytes"].get<std::string>()), "\x80\x1b[2J");
    EXPECT_NE(items[0]["path"].get<std::string>().find("caf\xef\xbf\xbd"), std::string::npos)
        << "the text field shows U+FFFD for what is not UTF-8";

    const std::string plain = Output(std::string(ORVELLE_CLEAN) + " --preview --only 6", code);
    EXPECT_EQ(plain.find('\x1b'), std::string::npos) << "no terminal escape reaches the output";
    EXPECT_NE(plain.find("\\x1b[2J"), std::string::npos) << plain;
}

TEST(CommandEdgesTest, TwoCleansNeverOverlapWithOrWithoutARuntimeFolderInTheEnvironment) {
    test::TempEnvironment environment;
    const std::string uid = std::to_string(::getuid());
    const std::string result = test::InPrivateMounts([&]() -> std::string {
        if (auto error = test::MountTmpfs("/run/user", 64); !error.empty()) {
            return error;
        }
        ::mkdir(("/run/user/" + uid).c_str(), 0700);
        ::unsetenv(os::posix::FlockCleaningLock::kFolderVariable);
        os::posix::FlockCleaningLock window;  // the program, started from the desktop
        if (!window.TryLock().empty()) {
            return "the lock was not free";
        }
        std::string report;
        for (const char* runtime : {"", "/tmp", "/nonexistent"}) {
            if (runtime[0] == '\0') {
                ::unsetenv("XDG_RUNTIME_DIR");  // cron, su
            } else {
                ::setenv("XDG_RUNTIME_DIR", runtime, 1);
            }
            int code = -1;
            const std::string output =
                Output(std::string(ORVELLE_CLEAN) + " --run --only 0 --no-wait 2>&1", code);
            if (code != 3 || output.find("another clean is running") == std::string::npos) {
                report += std::string("XDG_RUNTIME_DIR=") + runtime + ": " + std::to_string(code) +
                          " " + output;
            }
        }
        window.Unlock();
        int code = -1;
        const std::string output =
            Output(std::string(ORVELLE_CLEAN) + " --run --only 0 --no-wait 2>&1", code);
        if (code != 0) {
            report += "free lock: " + std::to_string(code) + " " + output;
        }
        return report.empty() ? "ok" : report;
    });
    EXPECT_EQ(result, "ok");
}

}  // namespace
