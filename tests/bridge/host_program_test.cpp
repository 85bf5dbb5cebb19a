// TervagonBridge.exe itself, under Wine, as a browser runs it: started with
// the caller on its command line, requests framed onto its standard input,
// answers read back from its standard output.
#include <cstdint>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "bridge/protocol/frames.h"
#include "tests/bridge/bridge_support.h"
#include "tests/bridge/tables.h"

namespace bridge_tests {
namespace {

using namespace std::string_literals;
using bridge_client::BridgeConnection;

[[maybe_unused]] const bool kRegistered = (RegisterServerForTheProgram(), true);

const std::string kUnregistered = "{6F1C2B7E-3A54-4D0C-9E21-58B7A0C4D3E9}";

std::string Length(std::uint32_t length) {
    std::string bytes(4, '\0');
    std::memcpy(bytes.data(), &length, 4);
    return bytes;
}

// Ends the conversation as the browser does and checks that the host left
// nothing but whole frames behind and ended well.
void ExpectCleanEnd(BridgeConnection& host) {
    host.Process().CloseInput();
    EXPECT_EQ(host.Process().ReadToEnd(), "") << "bytes after the last frame";
    EXPECT_EQ(host.Process().Wait(), 0);
    EXPECT_EQ(host.Process().Errors(), "");
}

struct Question {
    json id;
    const char* page;
    const char* method;
    std::vector<std::string> args;
    std::string answer;
};

TEST(HostProgram, AnswersEveryMethodAsTheObjectDoes) {
    const Question questions[] = {
        {1, kAllowedPage, "getPackageVersion", {}, kPackageVersion},
        {"two", kAllowedPage, "isValidControl", {kSelf, kVersion}, "true"},
        {3.5, kAllowedPage, "isValidControl", {kSelf, "9.9.9.9"}, "false"},
        {-4, kAllowedPage, "getControlVersion", {kSelf}, kVersion},
        {5, kAllowedPage, "isValidControl", {kUnregistered, "1.0"}, "ERR CLSIDNotRegistered"},
        {6, kAllowedPage, "getControlVersion", {"{6F1C2B7E-3A54-4D0C-9E21-58B7A0C4D3EG}"}, "ERR InvalidGUID"},
        {6.5, kAllowedPage, "getControlVersion", {"{not a class}"}, "ERR InvalidParameters"},
        {7, kForeignPage, "getPackageVersion", {}, "ERR InvalidDomain"},
        {8, kForeignPage, "isValidControl", {kSelf, kVersion}, "ERR InvalidDomain"},
        {9, kForeignPage, "getControlVersion", {kSelf}, "ERR InvalidDomain"},
        {10, "http://evil.example\\@support.talmoren.com/", "getPackageVersion", {}, "ERR InvalidDomain"},
        {11, "", "getPackageVersion", {}, "ERR InvalidDomain"},
    };
    BridgeConnection host;
    ASSERT_TRUE(StartHost(host));
    for (const auto& [id, page, method, args, answer] : questions) {
        SCOPED_TRACE(id.dump());
        EXPECT_EQ(Parsed(host.Ask(Request(id, page, method, args))), AnswerReply(id, answer));
    }
    ExpectCleanEnd(host);
}

TEST(HostProgram, OneRequestsPageNeverAnswersAnothers) {
    // Allowed and foreign pages in turn, with a refused request between some:
    // each answer is its own page's, whatever came before it.
    BridgeConnection host;
    ASSERT_TRUE(StartHost(host));
    for (int i = 0; i < 60; ++i) {
        const bool allowed = i % 2 == 0;
        if (i % 3 == 0) {
            EXPECT_EQ(Parsed(host.Ask(R"({"id":-1,"method":"getPackageVersion","args":[]})")),
                      ErrorReply(-1, "\"page\" is missing"));
        }
        EXPECT_EQ(Parsed(host.Ask(Request(i, allowed ? kAllowedPage : kForeignPage, "getControlVersion", {kSelf}))),
                  AnswerReply(i, allowed ? kVersion : "ERR InvalidDomain"));
    }
    ExpectCleanEnd(host);
}

TEST(HostProgram, BadInputGetsAnErrorAndTheNextRequestIsAnswered) {
    BridgeConnection host;
    ASSERT_TRUE(StartHost(host));
    for (const auto& [name, message, id, error] : kRefusedRequests) {
        SCOPED_TRACE(name);
        const auto reply = host.Ask(message);
        ASSERT_TRUE(reply) << "the host ended";
        EXPECT_EQ(Parsed(reply), ErrorReply(id, error)) << *reply;
        EXPECT_EQ(Parsed(host.Ask(Request(name, kAllowedPage, "getPackageVersion", {}))),
                  AnswerReply(name, kPackageVersion));
    }
    ExpectCleanEnd(host);
}

struct BrokenFrame {
    const char* name;
    std::string bytes;
    bool endInput;  // a frame too long is refused without waiting for its bytes
    std::string problem;
};
const BrokenFrame kBrokenFrames[] = {
    {"length cut short", "\x07\x00"s, true, "the input ended inside a frame's length (2 of 4 bytes)"},
    {"message cut short", Length(100) + "{\"id\":1", true, "the input ended inside a frame (7 of 100 bytes)"},
    {"a length above 1 MiB", Length(1024 * 1024 + 1), false,
     "a frame of 1048577 bytes is refused: a message is at most 1048576 bytes"},
    {"the largest length", Length(0xFFFFFFFF) + "{", false,
     "a frame of 4294967295 bytes is refused: a message is at most 1048576 bytes"},
};

TEST(HostProgram, ABrokenFrameEndsTheHostWithOneLine) {
    for (const auto& [name, bytes, endInput, problem] : kBrokenFrames) {
        SCOPED_TRACE(name);
        BridgeConnection host;
        ASSERT_TRUE(StartHost(host));
        EXPECT_EQ(Parsed(host.Ask(Request(1, kAllowedPage, "getPackageVersion", {}))),
                  AnswerReply(1, kPackageVersion));
        ASSERT_TRUE(host.Process().Write(bytes));
        if (endInput) host.Process().CloseInput();
        EXPECT_EQ(host.Process().ReadToEnd(), "");
        EXPECT_EQ(host.Process().Wait(), 1);
        EXPECT_EQ(host.Process().Errors(), "TervagonBridge: " + problem + "\n");
    }
}

std::vector<std::wstring> Wide(const std::vector<std::string>& arguments) {
    std::vector<std::wstring> wide;
    for (const std::string& argument : arguments) wide.emplace_back(argument.begin(), argument.end());
    return wide;
}

TEST(HostProgram, OnlyOurExtensionAndAddOnAreServed) {
    for (const auto& [name, arguments, problem] : kCallers) {
        SCOPED_TRACE(name);
        BridgeConnection host;
        ASSERT_TRUE(StartHost(host, Wide(arguments)));
        // The request is sent either way: a refused caller's is never read.
        host.Process().Write(bridge::FrameOf(Request(1, kAllowedPage, "getPackageVersion", {})));
        if (problem.empty()) {
            EXPECT_EQ(Parsed(host.Receive()), AnswerReply(1, kPackageVersion));
            ExpectCleanEnd(host);
            continue;
        }
        EXPECT_EQ(host.Process().ReadToEnd(), "") << "a refused caller got an answer";
        EXPECT_EQ(host.Process().Wait(), 2);
        EXPECT_EQ(host.Process().Errors(), "TervagonBridge: " + problem + "\n");
    }
}

TEST(HostProgram, AHundredThousandRequestsOnOneConnectionKeepMemoryFlat) {
    constexpr int kRequests = 100000;
    constexpr int kWarm = 10000;  // by then every cache of the host and the object is filled
    BridgeConnection host;
    ASSERT_TRUE(StartHost(host));
    // Every road of the host and the object, the whole road of isValidControl
    // (the control created, its file read) once in 20 requests, the quick
    // roads in between.
    const auto question = [](int i) {
        if (i % 20 == 0) return Request(i, kAllowedPage, "isValidControl", {kSelf, kVersion});
        switch (i % 4) {
        case 0: return Request(i, kForeignPage, "isValidControl", {kSelf, kVersion});
        case 1: return Request(i, kForeignPage, "getControlVersion", {kSelf});
        case 2: return Request(i, kAllowedPage, "getPackageVersion", {});
        default: return R"({"id":)" + std::to_string(i) + R"(,"page":3})";
        }
    };
    // The replies byte for byte, as the host writes them.
    const auto expected = [](int i) {
        const std::string id = R"({"id":)" + std::to_string(i);
        if (i % 20 == 0) return id + R"(,"answer":"true"})";
        switch (i % 4) {
        case 0:
        case 1: return id + R"(,"answer":"ERR InvalidDomain"})";
        case 2: return id + R"(,"answer":")" + kPackageVersion + R"("})";
        default: return id + R"(,"error":"\"page\" must be a string"})";
        }
    };
    // The browser writes while it reads: the requests go on a thread of their
    // own, many frames to a write.
    std::thread writer([&] {
        std::string frames;
        for (int i = 0; i < kRequests; ++i) {
            frames += bridge::FrameOf(question(i));
            if (frames.size() < 16 * 1024 && i + 1 < kRequests) continue;
            if (!host.Process().Write(frames)) return;
            frames.clear();
        }
    });
    std::size_t warmBytes = 0, lastBytes = 0;
    int wrong = 0, answered = 0;
    for (; answered < kRequests; ++answered) {
        const auto reply = host.Receive();
        if (!reply) break;
        if (*reply != expected(answered) && ++wrong <= 3)
            ADD_FAILURE() << "request " << answered << " was answered " << *reply;
        if (answered + 1 == kWarm) warmBytes = host.Process().PrivateBytes();
    }
    lastBytes = host.Process().PrivateBytes();
    writer.join();
    EXPECT_EQ(answered, kRequests);
    EXPECT_EQ(wrong, 0);
    ASSERT_GT(warmBytes, 0u) << "the host's memory can't be read";
    std::printf("the host's private memory after %d requests: %zu KiB; after %d: %zu KiB\n", kWarm, warmBytes / 1024,
                kRequests, lastBytes / 1024);
    // A leak of a few bytes a request would show as hundreds of KiB here.
    EXPECT_LT(lastBytes, warmBytes + 256 * 1024);
    ExpectCleanEnd(host);
}

}  // namespace
}  // namespace bridge_tests
