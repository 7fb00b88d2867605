// The framing and the message shapes shared by the host and the program.

#include "NativeMessages.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

using namespace orvelle::nativehost;

namespace {

std::string Frame(const std::string& body) {
    const auto frame = EncodeFrame(body, kMaxFromBrowser);
    EXPECT_TRUE(frame.has_value());
    return frame.value_or("");
}

std::string Length(std::uint32_t length) {
    std::string bytes(sizeof(length), '\0');
    std::memcpy(bytes.data(), &length, sizeof(length));
    return bytes;
}

std::vector<std::string> Drain(FrameReader& reader) {
    std::vector<std::string> bodies;
    while (auto body = reader.Next()) {
        bodies.push_back(std::move(*body));
    }
    return bodies;
}

TEST(FrameReader, CutsMessagesHoweverTheBytesArrive) {
    const std::string stream = Frame("{\"a\":1}") + Frame("") + Frame("[2]");
    for (std::size_t chunk : {std::size_t{1}, std::size_t{3}, std::size_t{5}, stream.size()}) {
        FrameReader reader(kMaxToBrowser);
        std::vector<std::string> bodies;
        for (std::size_t at = 0; at < stream.size(); at += chunk) {
            reader.Feed(std::string_view(stream).substr(at, chunk));
            for (auto& body : Drain(reader)) {
                bodies.push_back(std::move(body));
            }
        }
        EXPECT_EQ(bodies, (std::vector<std::string>{"{\"a\":1}", "", "[2]"})) << "chunk " << chunk;
        EXPECT_FALSE(reader.Broken());
    }
}

TEST(FrameReader, ALengthOverTheLimitBreaksTheStreamForGood) {
    FrameReader reader(16);
    reader.Feed(Frame("{}") + Length(17) + std::string(17, 'x'));
    EXPECT_EQ(Drain(reader), std::vector<std::string>{"{}"});
    EXPECT_TRUE(reader.Broken());
    reader.Feed(Frame("{}"));
    EXPECT_TRUE(Drain(reader).empty());
}

TEST(FrameReader, AMessageAtTheLimitPasses) {
    FrameReader reader(16);
    reader.Feed(Length(16) + std::string(16, 'y'));
    EXPECT_EQ(Drain(reader), std::vector<std::string>{std::string(16, 'y')});
    EXPECT_FALSE(reader.Broken());
}

TEST(EncodeFrame, RefusesABodyOverTheBrowsersLimit) {
    EXPECT_TRUE(EncodeFrame(std::string(kMaxToBrowser, ' ')).has_value());
    EXPECT_FALSE(EncodeFrame(std::string(kMaxToBrowser + 1, ' ')).has_value());
    const auto frame = EncodeFrame("abc");
    ASSERT_TRUE(frame.has_value());
    EXPECT_EQ(*frame, Length(3) + "abc");
}

struct ShapeCase {
    const char* name;
    Sender sender;
    std::string body;
    bool accepted;
};

class MessageShape : public testing::TestWithParam<ShapeCase> {};

TEST_P(MessageShape, IsAcceptedOnlyWhenEveryFieldFits) {
    const ShapeCase& shape = GetParam();
    EXPECT_EQ(ParseMessage(shape.body, shape.sender).has_value(), shape.accepted) << shape.body;
}

const std::string kTab = R"({"id":3,"window":1,"title":"T","url":"http://a/"})";

INSTANTIATE_TEST_SUITE_P(
    Messages, MessageShape,
    testing::Values(
        ShapeCase{"Hello", Sender::Browser, R"({"type":"hello","browser":"Firefox 153"})", true},
        ShapeCase{"HelloWithoutName", Sender::Browser, R"({"type":"hello"})", false},
        ShapeCase{"HelloNameNotText", Sender::Browser, R"({"type":"hello","browser":7})", false},
        ShapeCase{"Tab", Sender::Browser, R"({"type":"tab","tab":)" + kTab + "}", true},
        ShapeCase{"TabLoaded", Sender::Browser,
                  R"({"type":"tab","loaded":true,"tab":)" + kTab + "}", true},
        ShapeCase{"TabWithOpener", Sender::Browser,
                  R"({"type":"tab","tab":{"id":4,"window":1,"title":"","url":"","opener":3}})",
                  true},
        ShapeCase{"TabIdFractional", Sender::Browser,
                  R"({"type":"tab","tab":{"id":4.5,"window":1,"title":"","url":""}})", false},
        ShapeCase{"TabIdHuge", Sender::Browser,
                  R"({"type":"tab","tab":{"id":4294967296,"window":1,"title":"","url":""}})",
                  false},
        ShapeCase{"TabUnknownField", Sender::Browser,
                  R"({"type":"tab","tab":{"id":4,"window":1,"title":"","url":"","x":1}})", false},
        ShapeCase{"TabMissingUrl", Sender::Browser,
                  R"({"type":"tab","tab":{"id":4,"window":1,"title":""}})", false},
        ShapeCase{"Windows", Sender::Browser, R"({"type":"windows","tabs":[)" + kTab + "]}", true},
        ShapeCase{"WindowsEmpty", Sender::Browser, R"({"type":"windows","tabs":[]})", true},
        ShapeCase{"WindowsNotObjects", Sender::Browser, R"({"type":"windows","tabs":[1]})", false},
        ShapeCase{"WindowsNested", Sender::Browser, R"({"type":"windows","tabs":[[[]]]})", false},
        ShapeCase{"Closed", Sender::Browser, R"({"type":"closed","id":3})", true},
        ShapeCase{"ClosedIdText", Sender::Browser, R"({"type":"closed","id":"3"})", false},
        ShapeCase{"Blocked", Sender::Browser, R"({"type":"blocked","tab":3,"url":"http://p/"})",
                  true},
        ShapeCase{"TitleTooLong", Sender::Browser,
                  R"({"type":"hello","browser":")" + std::string(kMaxText + 1, 'a') + R"("})",
                  false},
        ShapeCase{"StateFromBrowser", Sender::Browser, R"({"type":"state","blocking":true})",
                  false},
        ShapeCase{"State", Sender::Program, R"({"type":"state","blocking":true})", true},
        ShapeCase{"StateNotBoolean", Sender::Program, R"({"type":"state","blocking":1})", false},
        ShapeCase{"TabFromProgram", Sender::Program, R"({"type":"tab","tab":)" + kTab + "}", false},
        ShapeCase{"UnknownType", Sender::Browser, R"({"type":"launch"})", false},
        ShapeCase{"TypeNotText", Sender::Browser, R"({"type":1})", false},
        ShapeCase{"NoType", Sender::Browser, R"({"browser":"x"})", false},
        ShapeCase{"NotAnObject", Sender::Browser, R"(["hello"])", false},
        ShapeCase{"NotJson", Sender::Browser, "{\"type\":", false},
        ShapeCase{"NotUtf8", Sender::Browser, "{\"type\":\"hello\",\"browser\":\"\xff\xfe\"}",
                  false},
        ShapeCase{"DeeplyNested", Sender::Browser,
                  R"({"type":"hello","browser":"x","n":)" + std::string(100000, '[') +
                      std::string(100000, ']') + "}",
                  false},
        ShapeCase{"Empty", Sender::Browser, "", false}),
    [](const testing::TestParamInfo<ShapeCase>& param) { return std::string(param.param.name); });

TEST(SocketPath, LiesInAPrivateFolderOfTheRuntimeFolderOrNowhere) {
    const char* saved = std::getenv("XDG_RUNTIME_DIR");
    const std::string kept = saved != nullptr ? saved : "";
    ::setenv("XDG_RUNTIME_DIR", "/run/user/1000", 1);
    EXPECT_EQ(SocketFolder(), "/run/user/1000/orvelle");
    EXPECT_EQ(SocketPath(), "/run/user/1000/orvelle/popup.sock");
    ::setenv("XDG_RUNTIME_DIR", "relative/run", 1);
    EXPECT_EQ(SocketPath(), "");
    ::unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(SocketPath(), "");
    if (saved != nullptr) {
        ::setenv("XDG_RUNTIME_DIR", kept.c_str(), 1);
    }
}

}  // namespace
