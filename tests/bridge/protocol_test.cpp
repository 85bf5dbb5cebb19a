// The host's protocol without Windows: frames, requests, replies, the text
// conversions and the caller check, natively under the sanitizers.
#include <algorithm>
#include <cstring>
#include <string>
#include <variant>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "bridge/protocol/caller.h"
#include "bridge/protocol/frames.h"
#include "bridge/protocol/reply.h"
#include "bridge/protocol/request.h"
#include "bridge/protocol/utf.h"
#include "tests/bridge/tables.h"

namespace {

using nlohmann::json;
using namespace std::string_literals;

// --- Text conversions ----------------------------------------------------------------

struct TextPair { const char* name; std::string utf8; std::u16string utf16; };
const TextPair kTextPairs[] = {
    {"empty", "", u""},
    {"ascii", "ERR InvalidDomain", u"ERR InvalidDomain"},
    {"nuls kept", "a\0b\0"s, u"a\0b\0"s},
    {"two-byte", "\xC3\xA9t\xC3\xA9", u"\u00E9t\u00E9"},
    {"three-byte", "\xE2\x82\xAC \xEF\xBF\xBF", u"\u20AC \uFFFF"},
    {"astral as a surrogate pair", "\xF0\x9F\x98\x80", u"\U0001F600"},
    {"last code point", "\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
};

TEST(TextConversion, BothWaysExactly) {
    for (const auto& [name, utf8, utf16] : kTextPairs) {
        SCOPED_TRACE(name);
        EXPECT_EQ(bridge::Utf8ToUtf16(utf8), utf16);
        EXPECT_EQ(bridge::Utf16ToUtf8(utf16), utf8);
        EXPECT_EQ(bridge::FirstInvalidUtf8(utf8), std::nullopt);
    }
}

struct BadUtf8 { const char* name; std::string bytes; std::size_t firstBad; };
const BadUtf8 kBadUtf8[] = {
    {"lone continuation", "ab\x80", 2},
    {"overlong NUL", "\xC0\x80", 0},
    {"overlong three-byte", "x\xE0\x80\xAF", 1},
    {"encoded surrogate", "\xED\xA0\x80", 0},
    {"beyond U+10FFFF", "\xF4\x90\x80\x80", 0},
    {"cut short at the end", "ok\xE2\x82", 2},
    {"cut short by ASCII", "\xE2(\xAC", 0},
    {"never a lead byte", "\xFF", 0},
    {"five-byte form", "\xF8\x88\x80\x80\x80", 0},
};

TEST(TextConversion, IllFormedUtf8IsRefusedWhereItStarts) {
    for (const auto& [name, bytes, firstBad] : kBadUtf8) {
        SCOPED_TRACE(name);
        EXPECT_EQ(bridge::FirstInvalidUtf8(bytes), firstBad);
        EXPECT_EQ(bridge::Utf8ToUtf16(bytes), std::nullopt);
    }
}

TEST(TextConversion, LoneSurrogatesHaveNoUtf8Form) {
    for (const std::u16string& text : {u"\xD800"s, u"a\xDC00"s, u"\xD800x"s, u"\xDC00\xD800"s}) {
        EXPECT_EQ(bridge::Utf16ToUtf8(text), std::nullopt);
    }
}

// --- Frames --------------------------------------------------------------------------

// Hands out its bytes at most `step` at a time, as a pipe may.
class TextSource final : public bridge::ByteSource {
public:
    explicit TextSource(std::string bytes, std::size_t step = SIZE_MAX) : bytes_(std::move(bytes)), step_(step) {}
    std::size_t Read(char* buffer, std::size_t size) override {
        const std::size_t count = std::min({size, step_, bytes_.size() - consumed_});
        std::memcpy(buffer, bytes_.data() + consumed_, count);
        consumed_ += count;
        return count;
    }
    std::size_t Consumed() const { return consumed_; }

private:
    std::string bytes_;
    std::size_t step_;
    std::size_t consumed_ = 0;
};

std::string Length(std::uint32_t length) {
    std::string bytes(4, '\0');
    std::memcpy(bytes.data(), &length, 4);
    return bytes;
}

struct FrameCase {
    const char* name;
    std::string input;
    bridge::FrameStatus status;
    std::string message;
    std::size_t consumed;  // bytes read from the input
    const char* problem;   // what the host says about a broken frame
};
const std::size_t kMax = bridge::kMaxMessageBytes;
const FrameCase kFrames[] = {
    {"no input", "", bridge::FrameStatus::EndOfInput, "", 0, "the input ended"},
    {"a message", bridge::FrameOf("{}") + "next", bridge::FrameStatus::Message, "{}", 6, ""},
    {"zero length", Length(0) + "x", bridge::FrameStatus::Message, "", 4, ""},
    {"length cut short", "\x05\x00"s, bridge::FrameStatus::Truncated, "", 2,
     "the input ended inside a frame's length (2 of 4 bytes)"},
    {"message cut short", Length(5) + "abc", bridge::FrameStatus::Truncated, "", 7,
     "the input ended inside a frame (3 of 5 bytes)"},
    {"one byte too long, not read", Length(kMax + 1) + std::string(64, 'x'), bridge::FrameStatus::TooLong, "", 4,
     "a frame of 1048577 bytes is refused: a message is at most 1048576 bytes"},
    {"the largest length there is", "\xFF\xFF\xFF\xFF"s, bridge::FrameStatus::TooLong, "", 4,
     "a frame of 4294967295 bytes is refused: a message is at most 1048576 bytes"},
};

TEST(Frames, ReadOneFrameAndNothingAfterIt) {
    for (const std::size_t step : {SIZE_MAX, std::size_t{1}}) {
        for (const auto& [name, input, status, message, consumed, problem] : kFrames) {
            SCOPED_TRACE(std::string(name) + (step == 1 ? ", a byte at a time" : ""));
            TextSource source(input, step);
            const bridge::Frame frame = bridge::ReadFrame(source);
            EXPECT_EQ(frame.status, status);
            EXPECT_EQ(frame.message, message);
            EXPECT_EQ(source.Consumed(), consumed);
            EXPECT_EQ(bridge::FrameProblem(frame), problem);
        }
    }
}

TEST(Frames, TheLongestMessageIsReadWholeAndFramesFollowInOrder) {
    const std::string longest(kMax, 'a');
    TextSource source(bridge::FrameOf(longest) + bridge::FrameOf("second"));
    bridge::Frame frame = bridge::ReadFrame(source);
    ASSERT_EQ(frame.status, bridge::FrameStatus::Message);
    EXPECT_EQ(frame.message, longest);
    frame = bridge::ReadFrame(source);
    EXPECT_EQ(frame.message, "second");
    EXPECT_EQ(bridge::ReadFrame(source).status, bridge::FrameStatus::EndOfInput);
}

// --- Requests ------------------------------------------------------------------------

struct Accepted {
    const char* message;
    json id;
    std::u16string page;
    bridge::Method method;
    std::vector<std::u16string> arguments;
};
const Accepted kAccepted[] = {
    {R"({"id":1,"page":"https://support.talmoren.com/","method":"getPackageVersion","args":[]})", 1,
     u"https://support.talmoren.com/", bridge::Method::GetPackageVersion, {}},
    {R"({"args":["{3CB4DB0B-97F1-48D8-888E-EEA195ACB43B}","1.0.0.1"],"method":"isValidControl","page":"p","id":"a-7"})",
     "a-7", u"p", bridge::Method::IsValidControl, {u"{3CB4DB0B-97F1-48D8-888E-EEA195ACB43B}", u"1.0.0.1"}},
    {R"( {"id":2.5,"page":"","method":"getControlVersion","args":["x"],"extra":{"ignored":[1]}} )", 2.5, u"",
     bridge::Method::GetControlVersion, {u"x"}},
    // Arguments are the page's text, NULs and escapes included, as a page passes them.
    {R"({"id":-3,"page":"https://\u00e9.talmoren.com/","method":"getControlVersion","args":["a\u0000b\ud83d\ude00"]})", -3,
     u"https://\u00E9.talmoren.com/", bridge::Method::GetControlVersion, {u"a\0b\U0001F600"s}},
    {R"({"id":18446744073709551615,"page":"p","method":"getPackageVersion","args":[]})", 18446744073709551615u, u"p",
     bridge::Method::GetPackageVersion, {}},
};

TEST(Requests, WellFormedRequestsAreReadWhole) {
    for (const auto& [message, id, page, method, arguments] : kAccepted) {
        SCOPED_TRACE(message);
        const auto parsed = bridge::ParseRequest(message);
        ASSERT_TRUE(std::holds_alternative<bridge::Request>(parsed)) << std::get<bridge::Refusal>(parsed).error;
        const auto& request = std::get<bridge::Request>(parsed);
        EXPECT_EQ(request.id, id);
        EXPECT_EQ(request.page, page);
        EXPECT_EQ(request.method, method);
        EXPECT_EQ(request.arguments, arguments);
    }
}

TEST(Requests, BadRequestsAreRefusedInWords) {
    for (const auto& [name, message, id, error] : bridge_tests::kRefusedRequests) {
        SCOPED_TRACE(name);
        const auto parsed = bridge::ParseRequest(message);
        ASSERT_TRUE(std::holds_alternative<bridge::Refusal>(parsed));
        const auto& refusal = std::get<bridge::Refusal>(parsed);
        EXPECT_EQ(refusal.id, id);
        EXPECT_EQ(refusal.error, error);
    }
}

TEST(Requests, ArgumentsAreCountedInUtf16UnitsAsTheObjectCountsThem) {
    // 4096 astral characters are 8192 units: too long; 2048 of them fit.
    std::string astral;
    for (int i = 0; i < 2048; ++i) astral += "\xF0\x9F\x98\x80";
    const auto request = [&](const std::string& argument) {
        return bridge::ParseRequest(R"({"id":1,"page":"p","method":"getControlVersion","args":[")" + argument + "\"]}");
    };
    EXPECT_TRUE(std::holds_alternative<bridge::Request>(request(astral)));
    EXPECT_TRUE(std::holds_alternative<bridge::Refusal>(request(astral + "x")));
}

// --- Replies -------------------------------------------------------------------------

struct Reply { const char* name; json id; std::u16string answer; std::string message; };
const Reply kReplies[] = {
    {"a number id", 7, u"true", R"({"id":7,"answer":"true"})"},
    {"a string id", "q\"1", u"0x02010004", R"({"id":"q\"1","answer":"0x02010004"})"},
    {"NULs and line feeds come through", 1, u"ERR X\n\0tail"s, R"({"id":1,"answer":"ERR X\n\u0000tail"})"},
    {"non-ASCII as UTF-8", 1, u"\u00E9\U0001F600", "{\"id\":1,\"answer\":\"\xC3\xA9\xF0\x9F\x98\x80\"}"},
    {"an empty answer", 1, u"", R"({"id":1,"answer":""})"},
    {"a lone surrogate is no answer", 2, u"a\xD800"s,
     R"({"id":2,"error":"the object's answer holds a lone surrogate, which UTF-8 can't carry"})"},
};

TEST(Replies, AnswersAreTheObjectsTextExactly) {
    for (const auto& [name, id, answer, message] : kReplies) {
        SCOPED_TRACE(name);
        EXPECT_EQ(bridge::AnswerMessage(id, answer), message);
    }
    EXPECT_EQ(bridge::ErrorMessage(nullptr, "the message is empty"), R"({"id":null,"error":"the message is empty"})");
}

TEST(Replies, NoReplyIsLongerThanAMessageMayBe) {
    // A text that fits in a request, made of characters JSON must escape.
    const std::u16string control(bridge::kMaxMessageBytes / 2, u'\x01');
    const std::string message = bridge::AnswerMessage(1, control);
    EXPECT_LE(message.size(), bridge::kMaxMessageBytes);
    EXPECT_EQ(message, R"({"id":1,"error":"the object's answer is longer than a message to the browser may be"})");
    // The longest id echoed back, all escapes, still fits many times over.
    const std::string id(bridge::kMaxIdBytes, '\x01');
    EXPECT_LT(bridge::ErrorMessage(id, "x").size(), 16 * bridge::kMaxIdBytes);
}

// --- The caller ----------------------------------------------------------------------

constexpr std::string_view kIds[] = {TERVAGON_OWN_EXTENSION_ID};
const bridge::AllowedCallers kAllowed{kIds, "tervagon@talmoren.com"};

TEST(Caller, OnlyOurExtensionAndAddOnAreServed) {
    for (const auto& [name, arguments, problem] : bridge_tests::kCallers) {
        SCOPED_TRACE(name);
        EXPECT_EQ(bridge::CallerProblem(arguments, kAllowed), problem);
    }
}

}  // namespace
