// Narrow/wide conversion as the checking and registration logic use it, on the
// platform (under Wine) and on the stand-in.
#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/allocation.h"
#include "platform/conversion.h"
#include "platform/failure_barrier.h"
#include "platform/owned_string.h"

namespace {

using platform::WideString;

TEST(ConversionCodePage, IsTheThreadCodePageChosenOnceForEveryThread) {
    // Windows NT 5.0 or later (Wine reports 6.x) and the stand-in both pick CP_THREAD_ACP.
    EXPECT_EQ(platform::ConversionCodePage(), UINT{CP_THREAD_ACP});
    std::vector<UINT> seen(8, 0xFFFF);
    std::vector<std::thread> threads;
    for (UINT& slot : seen) threads.emplace_back([&slot] { slot = platform::ConversionCodePage(); });
    for (std::thread& thread : threads) thread.join();
    for (const UINT page : seen) EXPECT_EQ(page, UINT{CP_THREAD_ACP});
}

TEST(ToNarrow, StopsAtTheFirstNulAndReadsNullAsEmpty) {
    struct Case { const char* what; WideString wide; std::string narrow; };
    const Case cases[] = {
        {"plain", OLESTR("{3CB4DB0B-97F1-48D8-888E-EEA195ACB43B}"), "{3CB4DB0B-97F1-48D8-888E-EEA195ACB43B}"},
        {"embedded NUL", WideString(OLESTR("ab\0cd"), 5), "ab"},
        {"empty", WideString(), ""},
        {"Latin-1 letter", WideString(1, OLECHAR(0xE9)), "\xE9"},
        {"outside the code page", WideString(1, OLECHAR(0x4E2D)), "?"},
    };
    for (const Case& c : cases) {
        std::string narrow = "stale";
        EXPECT_TRUE(platform::ToNarrow(c.wide.c_str(), narrow)) << c.what;
        EXPECT_EQ(narrow, c.narrow) << c.what;
    }
    std::string narrow = "stale";
    EXPECT_TRUE(platform::ToNarrow(nullptr, narrow));
    EXPECT_EQ(narrow, "");
}

TEST(ToNarrow, ConvertsLongTextWhole) {
    // The buffer is sized from the text: nothing is cut at any fixed limit.
    const WideString wide(5000, OLECHAR('w'));
    std::string narrow;
    ASSERT_TRUE(platform::ToNarrow(wide.c_str(), narrow));
    EXPECT_EQ(narrow, std::string(5000, 'w'));
}

TEST(ToNarrowWithin, KeepsWholeCharactersWithinTheLimit) {
    struct Case { const char* what; WideString wide; std::size_t limit; std::string narrow; };
    const WideString pair = {OLECHAR('a'), OLECHAR('b'), OLECHAR(0xD83D), OLECHAR(0xDE00), OLECHAR('c')};
    const Case cases[] = {
        {"shorter than the limit", OLESTR("abc"), 10, "abc"},
        {"exactly the limit", OLESTR("abc"), 3, "abc"},
        {"cut", OLESTR("abcdef"), 4, "abcd"},
        {"no room", OLESTR("abc"), 0, ""},
        {"empty", WideString(), 5, ""},
        {"a surrogate pair is not split", pair, 3, "ab"},
        {"long text, cut", WideString(5000, OLECHAR('w')), 2083, std::string(2083, 'w')},
    };
    for (const Case& c : cases) {
        std::string narrow = "stale";
        EXPECT_TRUE(platform::ToNarrowWithin(c.wide.data(), c.wide.size(), c.limit, narrow)) << c.what;
        EXPECT_EQ(narrow, c.narrow) << c.what;
    }
}

TEST(NarrowToString, EmptyTextGivesAStringOfLengthZeroNotNull) {
    const long before = platform::allocation_seam::LiveStrings();
    {
        platform::OwnedString empty(platform::NarrowToString(""));
        ASSERT_NE(empty.Get(), nullptr);
        EXPECT_EQ(SysStringLen(empty.Get()), 0u);
        platform::OwnedString fromNull(platform::NarrowToString(nullptr));
        ASSERT_NE(fromNull.Get(), nullptr);
        EXPECT_EQ(SysStringLen(fromNull.Get()), 0u);
        platform::OwnedString text(platform::NarrowToString("ERR InvalidDomain"));
        ASSERT_NE(text.Get(), nullptr);
        EXPECT_EQ(WideString(text.Get(), SysStringLen(text.Get())), OLESTR("ERR InvalidDomain"));
        EXPECT_EQ(text.Get()[SysStringLen(text.Get())], OLECHAR(0));
        EXPECT_EQ(platform::allocation_seam::LiveStrings(), before + 3);
    }
    EXPECT_EQ(platform::allocation_seam::LiveStrings(), before);
}

TEST(NarrowToString, FailedAllocationGivesNull) {
    const long before = platform::allocation_seam::LiveStrings();
    platform::allocation_seam::FailNth(1);
    EXPECT_EQ(platform::NarrowToString("true"), nullptr);
    EXPECT_EQ(platform::allocation_seam::LiveStrings(), before);
    EXPECT_EQ(platform::allocation_seam::Pending(), 0u);
}

TEST(ToWide, RoundTripsThroughToNarrow) {
    for (const char* text : {"", "Tervagon.ControlInstaller.1", "caf\xE9", "C:\\Program Files\\x.ocx"}) {
        WideString wide;
        ASSERT_TRUE(platform::ToWide(text, wide)) << text;
        EXPECT_EQ(wide.size(), std::string(text).size()) << text;
        std::string narrow;
        ASSERT_TRUE(platform::ToNarrow(wide.c_str(), narrow)) << text;
        EXPECT_EQ(narrow, text);
    }
    WideString wide = OLESTR("stale");
    EXPECT_TRUE(platform::ToWide(nullptr, wide));
    EXPECT_TRUE(wide.empty());
}

// Whatever a body behind the failure barrier throws comes out as a status (or
// as a plain no), and a body that returns is answered as it returned.
TEST(FailureBarrier, TurnsEveryExceptionIntoAStatus) {
    struct Case {
        const char* name;
        void (*body)();  // throws, or returns for the case of no exception
        HRESULT status;
    };
    const Case cases[] = {
        {"out of memory", [] { throw std::bad_alloc(); }, E_OUTOFMEMORY},
        {"absurd length", [] { (void)std::string().reserve(std::string().max_size() + 1); }, E_OUTOFMEMORY},
        {"other standard exception", [] { throw std::runtime_error("x"); }, E_UNEXPECTED},
        {"not a standard exception", [] { throw 42; }, E_UNEXPECTED},
        {"nothing thrown", [] {}, S_FALSE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(platform::Guarded([&] {
                      c.body();
                      return S_FALSE;
                  }),
                  c.status);
        EXPECT_EQ(platform::Succeeds([&] {
                      c.body();
                      return true;
                  }),
                  c.status == S_FALSE);
    }
}

TEST(HresultFromWin32, WrapsPositiveCodesAndPassesTheRest) {
    struct Case { LONG code; HRESULT status; };
    const Case cases[] = {
        {0, S_OK},
        {ERROR_FILE_NOT_FOUND, static_cast<HRESULT>(0x80070002u)},
        {ERROR_ACCESS_DENIED, static_cast<HRESULT>(0x80070005u)},
        {ERROR_OUTOFMEMORY, static_cast<HRESULT>(0x8007000Eu)},
        {ERROR_RESOURCE_NAME_NOT_FOUND, static_cast<HRESULT>(0x80070716u)},
        {0x12345, static_cast<HRESULT>(0x80072345u)},
        {static_cast<LONG>(E_FAIL), E_FAIL},
    };
    for (const Case& c : cases) EXPECT_EQ(platform::HresultFromWin32(c.code), c.status) << c.code;
}

}  // namespace
