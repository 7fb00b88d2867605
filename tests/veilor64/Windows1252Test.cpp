// Passphrase characters to single-byte codes and back.

#include "Windows1252.h"

#include <gtest/gtest.h>

#include <ostream>

#include <string>

namespace orvelle::veilor64 {
namespace {

struct Mapping {
    const char* name;
    std::string utf8;
    std::string bytes;
};

// Test names show the row, not its bytes.
void PrintTo(const Mapping& row, std::ostream* out) {
    *out << row.name;
}

class Windows1252MappingTest : public testing::TestWithParam<Mapping> {};

TEST_P(Windows1252MappingTest, MapsBothWays) {
    const Mapping& row = GetParam();
    EXPECT_EQ(ToWindows1252(row.utf8), row.bytes);
    EXPECT_EQ(FromWindows1252(row.bytes), row.utf8);
}

INSTANTIATE_TEST_SUITE_P(
    Characters, Windows1252MappingTest,
    testing::Values(Mapping{"Ascii", "Pass word~", "Pass word~"},
                    Mapping{"Latin1", "\xC3\xA9\xC3\xBF\xC2\xA0", "\xE9\xFF\xA0"},
                    Mapping{"Euro", "\xE2\x82\xAC", "\x80"},
                    Mapping{"Quotes", "\xE2\x80\x9C\xE2\x80\x9D", "\x93\x94"},
                    Mapping{"CaronAndDiaeresis", "\xC5\xA0\xC5\xB8", "\x8A\x9F"},
                    Mapping{"UndefinedCodesKeepTheirNumber", "\xC2\x81\xC2\x9D", "\x81\x9D"},
                    Mapping{"NulCharacter", std::string("a\0b", 3), std::string("a\0b", 3)}),
    [](const testing::TestParamInfo<Mapping>& rowInfo) { return std::string(rowInfo.param.name); });

TEST(Windows1252Test, EveryByteSurvivesTheRoundTrip) {
    for (int code = 0; code < 256; ++code) {
        const std::string byte(1, static_cast<char>(code));
        EXPECT_EQ(ToWindows1252(FromWindows1252(byte)), byte) << code;
        EXPECT_EQ(CharacterCount(FromWindows1252(byte)), 1u) << code;
    }
}

struct Unmappable {
    const char* name;
    std::string utf8;
    std::string bytes;
    std::size_t characters;
};

// Test names show the row, not its bytes.
void PrintTo(const Unmappable& row, std::ostream* out) {
    *out << row.name;
}

class Windows1252UnmappableTest : public testing::TestWithParam<Unmappable> {};

TEST_P(Windows1252UnmappableTest, BecomesOneQuestionMarkPerCharacter) {
    const Unmappable& row = GetParam();
    EXPECT_EQ(ToWindows1252(row.utf8), row.bytes);
    EXPECT_EQ(CharacterCount(row.utf8), row.characters);
    EXPECT_EQ(row.bytes.size(), row.characters);
}

INSTANTIATE_TEST_SUITE_P(Characters, Windows1252UnmappableTest,
                         testing::Values(Unmappable{"Greek", "\xCE\xA9x", "?x", 2},
                                         Unmappable{"Cyrillic", "\xD0\x96\xD0\x96", "??", 2},
                                         Unmappable{"OutsideTheBasicPlane", "\xF0\x9F\x94\x91", "?",
                                                    1},
                                         Unmappable{"LoneContinuationByte",
                                                    "a\x80"
                                                    "b",
                                                    "a?b", 3},
                                         Unmappable{"TruncatedSequence", "\xE2\x82", "??", 2},
                                         Unmappable{"OverlongSlash", "\xC0\xAF", "??", 2},
                                         Unmappable{"EncodedSurrogate", "\xED\xA0\x80", "???", 3}),
                         [](const testing::TestParamInfo<Unmappable>& rowInfo) {
                             return std::string(rowInfo.param.name);
                         });

}  // namespace
}  // namespace orvelle::veilor64
