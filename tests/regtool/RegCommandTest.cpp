#include "RegCommand.h"
#include "SqliteRegistry.h"
#include "TempEnvironment.h"

#include <gtest/gtest.h>

#include <sstream>

using orvelle::regtool::RunRegCommand;
using orvelle::store::SqliteRegistry;

namespace {

struct Result {
    int code;
    std::string out;
    std::string err;
};

class RegCommandTest : public ::testing::Test {
protected:
    Result Run(const std::vector<std::string>& arguments, const std::string& answers = "") {
        std::istringstream in(answers);
        std::ostringstream out;
        std::ostringstream err;
        const int code = RunRegCommand(arguments, registry, in, out, err);
        return {code, out.str(), err.str()};
    }
    SqliteRegistry registry{":memory:"};
};

}  // namespace

TEST_F(RegCommandTest, AddThenQueryShowsValuesTheWayRegDoes) {
    const std::string key = "HKCU\\Software\\Microsoft\\Internet Explorer\\Main";
    EXPECT_EQ(Run({"add", key, "/v", "Start Page", "/d", "about:blank"}).code, 0);
    EXPECT_EQ(Run({"add", key, "/v", "Count", "/t", "REG_DWORD", "/d", "0x1f"}).code, 0);
    EXPECT_EQ(Run({"add", key, "/ve", "/d", "default"}).code, 0);
    const Result query = Run({"query", key});
    EXPECT_EQ(query.code, 0);
    EXPECT_EQ(query.out,
              "\nHKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\Main\n"
              "    (Default)    REG_SZ    default\n"
              "    Count    REG_DWORD    0x1f\n"
              "    Start Page    REG_SZ    about:blank\n\n");
    const Result one =
        Run({"query", "hkey_current_user\\software\\microsoft\\internet explorer\\main", "/v",
             "start page"});
    EXPECT_EQ(one.code, 0);
    EXPECT_NE(one.out.find("Start Page    REG_SZ    about:blank"), std::string::npos);
    EXPECT_EQ(one.out.find("Count"), std::string::npos);
}

TEST_F(RegCommandTest, MissingKeysAndValuesAndBadArgumentsFailWithAMessage) {
    struct Row {
        std::vector<std::string> arguments;
        const char* errorPart;
    };
    const std::vector<Row> rows = {
        {{"query", "HKCU\\Software\\Nothing"}, "unable to find"},
        {{"query", "HKCU\\Software", "/v", "nothing"}, "unable to find"},
        {{"query", "HKXX\\Software"}, "Invalid key name"},
        {{"query"}, "Invalid syntax"},
        {{"frobnicate", "HKCU\\Software"}, "unknown operation"},
        {{"add", "HKCU\\Software\\X", "/v", "n", "/t", "REG_DWORD", "/d", "12abc"},
         "Invalid DWORD"},
        {{"add", "HKCU\\Software\\X", "/v", "n", "/t", "REG_DWORD", "/d", "0x123456789"},
         "Invalid DWORD"},
        {{"add", "HKCU\\Software\\X", "/v", "n", "/t", "REG_WHATEVER"}, "Invalid type"},
        {{"add", "HKCU\\Software\\X", "/v"}, "/v needs"},
        {{"delete", "HKCU"}, "whole hive"},
        {{"delete", "HKCU\\Software\\Nothing", "/f"}, "unable to find"},
        {{"export", "HKCU\\Software"}, "Invalid syntax"},
    };
    for (const auto& row : rows) {
        const Result result = Run(row.arguments);
        EXPECT_EQ(result.code, 1) << row.arguments[0];
        EXPECT_NE(result.err.find(row.errorPart), std::string::npos) << result.err;
    }
}

TEST_F(RegCommandTest, OverwriteAndDeleteAskUnlessForced) {
    const std::string key = "HKLM\\SOFTWARE\\Classes\\kdf_auto_file";
    ASSERT_EQ(Run({"add", key, "/ve", "/d", "Kordex File"}).code, 0);
    EXPECT_EQ(Run({"add", key, "/ve", "/d", "Other"}, "no\n").code, 1);
    EXPECT_NE(Run({"query", key}).out.find("Kordex File"), std::string::npos);
    EXPECT_EQ(Run({"add", key, "/ve", "/d", "Other"}, "yes\n").code, 0);
    EXPECT_EQ(Run({"add", key, "/ve", "/d", "Third", "/f"}).code, 0);
    EXPECT_NE(Run({"query", key}).out.find("Third"), std::string::npos);

    EXPECT_EQ(Run({"delete", key}, "").code, 1) << "no answer is no";
    EXPECT_EQ(Run({"query", key}).code, 0);
    EXPECT_EQ(Run({"delete", key, "/ve", "/f"}).code, 0);
    EXPECT_EQ(Run({"query", key, "/ve"}).code, 1);
    ASSERT_EQ(Run({"add", key + "\\shell\\open\\command", "/ve", "/d", "x"}).code, 0);
    EXPECT_EQ(Run({"delete", key}, "y\n").code, 0);
    EXPECT_EQ(Run({"query", key}).code, 1) << "the whole tree went";
}

TEST_F(RegCommandTest, ExportWritesARegFileWithEveryType) {
    orvelle::test::TempEnvironment environment;
    const std::string key = "HKCU\\Software\\Export";
    ASSERT_EQ(Run({"add", key, "/v", "Text", "/d", "a \"quoted\" C:\\path"}).code, 0);
    ASSERT_EQ(Run({"add", key, "/v", "Number", "/t", "REG_DWORD", "/d", "10"}).code, 0);
    ASSERT_EQ(Run({"add", key + "\\Sub", "/v", "Bytes", "/t", "REG_BINARY", "/d", "00ff10"}).code,
              0);
    const std::string file = environment.Path("out.reg");
    ASSERT_EQ(Run({"export", key, file}).code, 0);
    EXPECT_EQ(orvelle::test::ReadFile(file),
              "Windows Registry Editor Version 5.00\r\n\r\n"
              "[HKEY_CURRENT_USER\\Software\\Export]\r\n"
              "\"Number\"=dword:0000000a\r\n"
              "\"Text\"=\"a \\\"quoted\\\" C:\\\\path\"\r\n\r\n"
              "[HKEY_CURRENT_USER\\Software\\Export\\Sub]\r\n"
              "\"Bytes\"=hex:00,ff,10\r\n\r\n");
    EXPECT_EQ(Run({"export", key, file}, "n\n").code, 1)
        << "an existing file is kept unless confirmed";
    EXPECT_EQ(Run({"export", key, file, "/y"}).code, 0);
}
