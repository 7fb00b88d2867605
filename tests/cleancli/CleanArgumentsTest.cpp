#include "CleanArguments.h"

#include <gtest/gtest.h>

using namespace orvelle::cleancli;

namespace {

struct Case {
    std::vector<std::string> arguments;
    bool valid;
    CleanMode mode;
    std::set<int> only;  // expected --only (empty: none given)
    std::string errorPart;
};

TEST(CleanArgumentsTest, EachModeItsOptionsAndEveryMistakeNamed) {
    const std::vector<Case> cases = {
        {{"--list"}, true, CleanMode::List, {}, ""},
        {{"--list", "--json"}, true, CleanMode::List, {}, ""},
        {{"--preview", "--only", "2,3,7"}, true, CleanMode::Preview, {2, 3, 7}, ""},
        {{"--run", "--only=15,0"}, true, CleanMode::Run, {0, 15}, ""},
        {{"--help"}, true, CleanMode::Help, {}, ""},
        {{}, false, CleanMode::Help, {}, "say what to do"},
        {{"--list", "--run"}, false, CleanMode::Help, {}, "only one of"},
        {{"--run", "--json"}, false, CleanMode::Help, {}, "--json goes with"},
        {{"--list", "--only", "2"}, false, CleanMode::Help, {}, "--only goes with"},
        {{"--preview", "--only", "16"}, false, CleanMode::Help, {}, "from 0 to 15"},
        {{"--preview", "--only", "2,,3"}, false, CleanMode::Help, {}, "from 0 to 15"},
        {{"--preview", "--only", "2x"}, false, CleanMode::Help, {}, "from 0 to 15"},
        {{"--preview", "--only"}, false, CleanMode::Help, {}, "needs a value"},
        {{"--preview", "--only", "2", "--only", "3"}, false, CleanMode::Help, {}, "once"},
        {{"--preview", "--no-wait"}, false, CleanMode::Help, {}, "--no-wait goes with"},
        {{"--run", "--program-folder", "relative"}, false, CleanMode::Help, {}, "full path"},
        {{"--run", "-x"}, false, CleanMode::Help, {}, "unknown argument \"-x\""},
        {{"-h"}, true, CleanMode::Help, {}, ""},
        {{"--run", "--no-wait", "--program-folder=/opt/orvelle"}, true, CleanMode::Run, {}, ""},
        {{"--list=1"}, false, CleanMode::Help, {}, "unknown argument \"--list=1\""},
        {{"--run", "--json=yes"}, false, CleanMode::Help, {}, "unknown argument \"--json=yes\""},
        {{"--help", "-h"}, false, CleanMode::Help, {}, "only one of"},
    };
    for (const Case& c : cases) {
        std::string joined;
        for (const auto& a : c.arguments) {
            joined += a + " ";
        }
        SCOPED_TRACE(joined);
        CleanArguments parsed;
        std::string error;
        ASSERT_EQ(ParseCleanArguments(c.arguments, parsed, error), c.valid) << error;
        if (c.valid) {
            EXPECT_EQ(parsed.mode, c.mode);
            EXPECT_EQ(parsed.only.has_value(), !c.only.empty());
            if (parsed.only) {
                EXPECT_EQ(*parsed.only, c.only);
            }
        } else {
            EXPECT_NE(error.find(c.errorPart), std::string::npos) << error;
        }
    }
}

}  // namespace
