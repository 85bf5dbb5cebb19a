// The narrow text functions that the registrar and the checks step and compare
// with, on the platform (under Wine) and on the stand-in.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>

#include "platform/win32.h"

namespace {

int Sign(int value) { return (value > 0) - (value < 0); }

TEST(NarrowText, CaseInsensitiveComparisonOfKeywordsAndNames) {
    struct Case { const char* left; const char* right; int sign; };
    const Case cases[] = {
        {"ForceRemove", "forceremove", 0}, {"NoRemove", "NOREMOVE", 0}, {"HKCR", "hkcr", 0},
        {"val", "Val", 0},                 {"s", "S", 0},               {"caf\xE9", "CAF\xC9", 0},
        {"Delete", "Deleted", -1},         {"HKCU", "HKCR", 1},          {"a", "B", -1},
        {"", "", 0},                       {"", "x", -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Sign(lstrcmpiA(c.left, c.right)), c.sign) << '"' << c.left << "\" vs \"" << c.right << '"';
}

TEST(NarrowText, StepsOneCharacterAndStopsAtTheEnd) {
    const char text[] = "a\xE9z";
    EXPECT_EQ(CharNextA(text), text + 1);
    EXPECT_EQ(CharNextA(text + 1), text + 2);
    EXPECT_EQ(CharNextA(text + 3), text + 3);  // the terminator is not stepped over
    EXPECT_FALSE(IsDBCSLeadByte(0xE9));
    EXPECT_FALSE(IsDBCSLeadByte('a'));
}

TEST(NarrowText, LengthsAndBoundedCopy) {
    EXPECT_EQ(lstrlenA("Tervagon"), 8);
    EXPECT_EQ(lstrlenW(OLESTR("Tervagon")), 8);

    char buffer[8];
    std::memset(buffer, 'Z', sizeof(buffer));
    EXPECT_EQ(lstrcpynA(buffer, "abcdef", 4), buffer);
    EXPECT_STREQ(buffer, "abc");  // count - 1 characters and a terminator
    EXPECT_EQ(buffer[4], 'Z');
    EXPECT_EQ(lstrcpynA(buffer, "ab", 8), buffer);
    EXPECT_STREQ(buffer, "ab");
}

// The platform reads a null text inside a guarded block and turns the fault into these
// results; tests/not-under-emulation.txt names this case.
TEST(NarrowText, NullTextIsEmptyAndCopiesNothing) {
    EXPECT_EQ(lstrlenA(nullptr), 0);
    EXPECT_EQ(lstrlenW(nullptr), 0);

    char buffer[8];
    std::memset(buffer, 'Z', sizeof(buffer));
    EXPECT_EQ(lstrcpynA(buffer, nullptr, 8), nullptr);
    EXPECT_EQ(buffer[0], 'Z');
}

TEST(NarrowText, ConversionMeasuresThenFills) {
    const int measured = MultiByteToWideChar(CP_THREAD_ACP, 0, "HKCR", -1, nullptr, 0);
    EXPECT_EQ(measured, 5);  // terminator included
    WCHAR wide[5];
    EXPECT_EQ(MultiByteToWideChar(CP_THREAD_ACP, 0, "HKCR", -1, wide, 5), 5);
    EXPECT_EQ(wide[4], WCHAR(0));
    EXPECT_EQ(MultiByteToWideChar(CP_THREAD_ACP, 0, "HKCR", -1, wide, 4), 0);
    EXPECT_EQ(GetLastError(), DWORD{ERROR_INSUFFICIENT_BUFFER});

    char narrow[8];
    BOOL usedDefault = FALSE;
    const WCHAR outside[] = {WCHAR('a'), WCHAR(0x4E2D), 0};
    EXPECT_EQ(WideCharToMultiByte(CP_THREAD_ACP, 0, outside, -1, narrow, 8, nullptr, &usedDefault), 3);
    EXPECT_STREQ(narrow, "a?");
    EXPECT_TRUE(usedDefault);
    EXPECT_EQ(WideCharToMultiByte(CP_THREAD_ACP, 0, outside, -1, narrow, 2, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), DWORD{ERROR_INSUFFICIENT_BUFFER});
}

TEST(NarrowText, LastErrorBelongsToTheThread) {
    // Only atomics between the reads: any platform call may change the last error.
    std::atomic<int> step{0};
    DWORD seenByOther = 0;
    std::thread other([&] {
        while (step.load() != 1) {
        }
        SetLastError(ERROR_MOD_NOT_FOUND);
        step.store(2);
        while (step.load() != 3) {
        }
        seenByOther = GetLastError();
    });
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    step.store(1);
    while (step.load() != 2) {
    }
    const DWORD seenHere = GetLastError();
    step.store(3);
    other.join();
    EXPECT_EQ(seenHere, DWORD{ERROR_RESOURCE_NAME_NOT_FOUND});
    EXPECT_EQ(seenByOther, DWORD{ERROR_MOD_NOT_FOUND});
}

}  // namespace
