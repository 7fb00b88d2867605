// The registry store in trouble, as a user meets it: an empty file, a full disk, a
// store without write rights, a configuration folder that is a file. The store is
// never replaced for trouble, no clean runs on guessed options, and no change is
// dropped without a word.

#include "FakeDesktop.h"
#include "FakeOs.h"
#include "FakeStore.h"
#include "PrivateMounts.h"
#include "ProgramServices.h"
#include "RegistrySettingsStore.h"
#include "SqliteRegistry.h"
#include "TempEnvironment.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <utility>

using namespace orvelle;

namespace {

struct Outcome {
    int code;
    std::string output;
};

// A command with both output streams, in the test's environment.
Outcome RunCommand(const std::string& command) {
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    std::string output;
    char buffer[512];
    while (pipe != nullptr && std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
        output += buffer;
    }
    const int status = pipe != nullptr ? ::pclose(pipe) : -1;
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

const std::string kCleanTemp = std::string(ORVELLE_CLEAN) + " --run --only 11";

class StoreFaultTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::MakeDirs(environment_.Path("config/orvelle"));
        test::MakeDirs(environment_.Path("tmp"));
        // What the Temp step would erase.
        test::WriteFile(precious_, "kept unless the user's options say otherwise");
    }
    [[nodiscard]] std::string Store() const {
        return environment_.Path("config/orvelle/registry.db");
    }

    test::TempEnvironment environment_;
    std::string precious_ = environment_.Path("tmp/precious.txt");
};

TEST_F(StoreFaultTest, AnEmptyStoreIsDamageNoCleanRunsUntilTheUserHasSeenTheOptions) {
    test::WriteFile(Store(), "");
    const auto refused = RunCommand(kCleanTemp);
    EXPECT_EQ(refused.code, 1) << refused.output;
    EXPECT_NE(refused.output.find("is damaged (it is empty)"), std::string::npos) << refused.output;
    EXPECT_TRUE(test::Exists(precious_)) << "nothing erased on guessed options";
    EXPECT_EQ(std::filesystem::file_size(Store()), 0U) << "never taken for a new store";
    EXPECT_EQ(RunCommand(std::string(ORVELLE_CLEAN) + " --list").code, 1);

    desktop::fake::FakeMessageBox messageBox;
    {
        wiring::ProgramServices program(&messageBox);
        ASSERT_TRUE(program.damagedStore.has_value());
        EXPECT_EQ(program.damagedStore->reason, "it is empty");
        EXPECT_NE(program.StoreNotice().find("No clean runs"), std::string::npos)
            << program.StoreNotice();
        // The program was ended before its window came up: the options were not seen.
    }
    const auto stillRefused = RunCommand(kCleanTemp);
    EXPECT_EQ(stillRefused.code, 1) << stillRefused.output;
    EXPECT_NE(stillRefused.output.find("set back to their defaults"), std::string::npos)
        << stillRefused.output;
    EXPECT_TRUE(test::Exists(precious_));
    {
        wiring::ProgramServices program(&messageBox);
        EXPECT_NE(program.StoreNotice(), "") << "said again until seen";
        program.OptionsShown();
    }
    const auto ran = RunCommand(kCleanTemp);
    EXPECT_EQ(ran.code, 0) << ran.output;
    EXPECT_FALSE(test::Exists(precious_)) << "the seen options are the user's";
}

TEST_F(StoreFaultTest, AFullDiskKeepsTheStoreAndRefusesTheClean) {
    {
        store::SqliteRegistry registry(environment_.Path("image.db"));
        store::RegistrySettingsStore settings(registry);
        settings.SaveSetting("Orvelle", "Options", "StartUp", "1");
    }
    const std::string image = test::ReadFile(environment_.Path("image.db"));
    const std::string result = test::InPrivateMounts([&]() -> std::string {
        if (auto error = test::MountTmpfs(environment_.Path("config/orvelle"), 512);
            !error.empty()) {
            return error;
        }
        test::WriteFile(Store(), image);
        if (auto error = test::FillFileSystem(environment_.Path("config/orvelle"));
            !error.empty()) {
            return error;
        }
        const auto reg = RunCommand(std::string(ORVELLE_REG) + " query \"HKCU\\Software\"");
        if (reg.code != 1 || reg.output.find("cannot be read as it is") == std::string::npos ||
            reg.output.find("damaged") != std::string::npos) {
            return "orvelle-reg: " + std::to_string(reg.code) + " " + reg.output;
        }
        const auto clean = RunCommand(kCleanTemp);
        if (clean.code != 1 || clean.output.find("cannot be read as it is") == std::string::npos) {
            return "orvelle-clean: " + std::to_string(clean.code) + " " + clean.output;
        }
        if (!test::Exists(precious_)) {
            return "a clean ran on guessed options";
        }
        desktop::fake::FakeMessageBox messageBox;
        {
            wiring::ProgramServices program(&messageBox);
            if (program.damagedStore || !program.StoreUnreadable() ||
                program.StoreNotice().find("cannot be read as it is") == std::string::npos) {
                return "the program: " + program.StoreNotice();
            }
        }
        if (test::ReadFile(Store()) != image) {
            return "the store was moved or changed";
        }
        return "ok";
    });
    EXPECT_EQ(result, "ok");
}

TEST_F(StoreFaultTest, AStoreWithoutWriteRightsRefusesEveryChangeOutLoudOncePerRun) {
    {
        store::SqliteRegistry registry(Store());
        store::RegistrySettingsStore settings(registry);
        settings.SaveSetting("Orvelle", "Options", "StartUp", "1");
    }
    ASSERT_EQ(::chmod(Store().c_str(), 0444), 0);
    const std::string result = test::AsUnprivileged(environment_.Root(), [&]() -> std::string {
        const auto add = RunCommand(std::string(ORVELLE_REG) +
                                    " add \"HKCU\\Software\\Orvelle\" /v Cookies /d 1 /f");
        if (add.code != 1 || add.output.find("readonly") == std::string::npos) {
            return "orvelle-reg add: " + std::to_string(add.code) + " " + add.output;
        }
        desktop::fake::FakeMessageBox messageBox;
        wiring::ProgramServices program(&messageBox);
        if (!program.StoreNotice().empty()) {
            return "a readable store needs no notice: " + program.StoreNotice();
        }
        if (program.core.settings.GetSetting("Orvelle", "Options", "StartUp", "0") != "1") {
            return "the stored value was not read";
        }
        program.core.settings.SaveSetting("Orvelle", "Options", "StartUp", "0");
        program.core.settings.SaveSetting("Orvelle", "PopupKiller", "IsActive", "0");
        if (messageBox.shown.size() != 1) {
            return "boxes shown: " + std::to_string(messageBox.shown.size());
        }
        const std::string& text = messageBox.shown[0].text;
        if (text.rfind("Error: 75 - ", 0) != 0 ||
            text.find("Options\\StartUp") == std::string::npos ||
            text.find("readonly") == std::string::npos) {
            return "the box: " + text;
        }
        return "ok";
    });
    EXPECT_EQ(result, "ok");
}

TEST_F(StoreFaultTest, AConfigurationFolderThatIsAFileIsNamedNotCalledDamage) {
    test::WriteFile(environment_.Path("config-file"), "");
    environment_.Set("XDG_CONFIG_HOME", environment_.Path("config-file"));
    for (const std::string& command : {std::string(ORVELLE_CLEAN) + " --list",
                                       std::string(ORVELLE_REG) + " query \"HKCU\\Software\""}) {
        const auto outcome = RunCommand(command);
        EXPECT_EQ(outcome.code, 1) << command << ": " << outcome.output;
        EXPECT_NE(outcome.output.find("not a folder"), std::string::npos) << outcome.output;
        EXPECT_EQ(outcome.output.find("damaged"), std::string::npos) << outcome.output;
    }
}

}  // namespace

namespace {

TEST_F(StoreFaultTest, AGarbageProfileIndexIsARedEntryNamingItAndTheCleanExitsOne) {
    const std::string root = environment_.Path("home/.mozilla/firefox");
    test::MakeDirs(root + "/p.default");
    test::WriteFile(root + "/p.default/cookies.sqlite", "kept: its index cannot be read");
    test::WriteFile(root + "/profiles.ini", std::string("\x89PNG\r\n\x1a\n\0\0garbage", 18));
    const auto clean = RunCommand(std::string(ORVELLE_CLEAN) + " --run --only 7");
    EXPECT_EQ(clean.code, 1) << clean.output;
    EXPECT_NE(clean.output.find(root + "/profiles.ini"), std::string::npos) << clean.output;
    EXPECT_NE(clean.output.find("not cleaned"), std::string::npos) << clean.output;
    EXPECT_TRUE(test::Exists(root + "/p.default/cookies.sqlite"));
}

}  // namespace
