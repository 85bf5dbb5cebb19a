// The text rules of the checking service, without Windows: bounded buffers,
// the host-suffix test and the two version formats.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <string>

#include "checking/bounded_text.h"
#include "checking/host_suffix.h"
#include "checking/page_address.h"
#include "checking/version_text.h"

namespace {

using checking::BoundedAppend;
using checking::BoundedFormat;

TEST(BoundedAppend, FillsToTheLastCharacterAndNoFurther) {
    struct Case { const char* start; const char* appended; bool fits; const char* result; };
    // Capacity 8: seven characters and a terminator.
    const Case cases[] = {
        {"abc", "defg", true, "abcdefg"},   // exactly full
        {"abc", "defgh", false, "abcdefg"},  // one over: cut, terminated
        {"abc", "defghijk", false, "abcdefg"},
        {"abcdefg", "", true, "abcdefg"},  // nothing to add
        {"abcdefg", "h", false, "abcdefg"},
        {"", "", true, ""},
    };
    for (const Case& c : cases) {
        char buffer[8] = {};
        std::strcpy(buffer, c.start);
        EXPECT_EQ(BoundedAppend(buffer, sizeof(buffer), c.appended), c.fits) << c.start << "+" << c.appended;
        EXPECT_STREQ(buffer, c.result) << c.start << "+" << c.appended;
    }
}

TEST(BoundedAppend, LeavesAnUnterminatedBufferAlone) {
    char buffer[4] = {'w', 'x', 'y', 'z'};
    EXPECT_FALSE(BoundedAppend(buffer, sizeof(buffer), "a"));
    EXPECT_EQ(std::string(buffer, 4), "wxyz");
}

TEST(BoundedAppend, TheLongestGuidThatFitsTheClassKeyPath) {
    // "SOFTWARE\Classes\CLSID\" (23) + text + "\InProcServer32" (15) in 260.
    for (std::size_t length : {221u, 222u}) {
        char path[checking::kPathCapacity] = "SOFTWARE\\Classes\\CLSID\\";
        const std::string guid(length, 'g');
        const bool fits =
            BoundedAppend(path, sizeof(path), guid.c_str()) && BoundedAppend(path, sizeof(path), "\\InProcServer32");
        EXPECT_EQ(fits, length == 221) << length;
        EXPECT_EQ(std::strlen(path), 259u) << length;
    }
}

TEST(BoundedFormat, CutsAndReportsWhatDoesNotFit) {
    char buffer[6];
    EXPECT_TRUE(BoundedFormat(buffer, sizeof(buffer), "%s", "abcde"));
    EXPECT_STREQ(buffer, "abcde");
    EXPECT_FALSE(BoundedFormat(buffer, sizeof(buffer), "ERR %d", 12345));
    EXPECT_STREQ(buffer, "ERR 1");
    EXPECT_TRUE(BoundedFormat(buffer, sizeof(buffer), "%s\n", "abcd"));
    EXPECT_STREQ(buffer, "abcd\n");
    EXPECT_FALSE(BoundedFormat(buffer, sizeof(buffer), "%s", "abcdef"));  // one character over
    EXPECT_STREQ(buffer, "abcde");
}

TEST(BoundedFormat, WritesTheErrorNumbersOfAnswers) {
    const std::pair<long, const char*> cases[] = {
        {2L, "ERR 2"}, {-2147024894L, "ERR -2147024894"}, {-2147483647L - 1, "ERR -2147483648"}};
    for (const auto& [number, text] : cases) {
        char buffer[checking::kPathCapacity];
        EXPECT_TRUE(BoundedFormat(buffer, sizeof(buffer), "ERR %ld", number));
        EXPECT_STREQ(buffer, text);
    }
}

TEST(BoundedFormat, RefusesCapacitiesWithoutWriting) {
    char buffer[4] = {'k', 'e', 'e', 'p'};
    EXPECT_FALSE(BoundedFormat(buffer, 0, "%s", "x"));
    EXPECT_FALSE(BoundedFormat(buffer, static_cast<std::size_t>(INT32_MAX) + 1, "%s", "x"));
    EXPECT_EQ(std::string(buffer, 4), "keep");
}

TEST(EqualsIgnoringAsciiCase, FoldsOnlyAsciiLetters) {
    EXPECT_TRUE(checking::EqualsIgnoringAsciiCase("1.0.0.1", "1.0.0.1"));
    EXPECT_TRUE(checking::EqualsIgnoringAsciiCase(".TalMoren.COM", ".talmoren.com"));
    EXPECT_FALSE(checking::EqualsIgnoringAsciiCase("1.0.0.1", "1.0.0.01"));
    EXPECT_FALSE(checking::EqualsIgnoringAsciiCase("1.0.0.1", "1.0.0."));
    EXPECT_FALSE(checking::EqualsIgnoringAsciiCase(".tal\xADmoren.com", ".talmoren.com"));  // soft hyphen
    EXPECT_FALSE(checking::EqualsIgnoringAsciiCase("\xC9", "\xE9"));  // no locale folding
}

TEST(HostTextIsAllowed, JudgesTheLastTwoLabelsOfAPlainHostName) {
    struct Case { const char* host; bool allowed; };
    const Case cases[] = {
        {"www.talmoren.com", true},
        {"a.b.c.talmoren.com", true},
        {"WWW.TALMOREN.COM", true},
        {"x-1.talmoren.com", true},
        {"talmoren.com", false},             // the bare domain
        {".talmoren.com", false},            // no label before the suffix
        {"a..talmoren.com", false},          // an empty one
        {"www.talmoren.com.", false},        // trailing dot: the last labels are "com" and ""
        {"www.talmoren.com.evil.example", false},
        {"xtalmoren.com", false},
        {"w.x-talmoren.com", false},
        {"www.talmoren.co", false},
        {"1.2.3.4", false},
        {"", false},
        {"com", false},
        {"www.talmoren.com:80", false},      // a port stays in the host text
        {"evil.example:80.talmoren.com", false},
        {"evil.example:.talmoren.com", false},
        {"evil.example\\x.talmoren.com", false},
        {"evil.example;x.talmoren.com", false},
        {"evil.example%2f.talmoren.com", false},
        {"a b.talmoren.com", false},
        {"[::1].talmoren.com", false},
        {"x.tal\xADmoren.com", false},
        {"evil.example@x.talmoren.com", false},
        {".www.talmoren.com", false},        // empty labels anywhere
        {"a..b.talmoren.com", false},
        {"www.talmoren..com", false},
        {"www.talmoren.com..", false},
        {"a.b-c.d.talmoren.com", true},
    };
    for (const Case& c : cases) EXPECT_EQ(checking::HostTextIsAllowed(c.host), c.allowed) << c.host;
}

TEST(SplitPageAddress, FindsTheHostOfWebAddressesOnly) {
    struct Case { std::u16string address; bool splits; std::size_t hostStart, authorityEnd; const char* host; };
    using namespace std::string_literals;
    const Case cases[] = {
        {u"http://www.talmoren.com/x", true, 7, 23, "www.talmoren.com"},
        {u"HTTPS://a:b@www.talmoren.com?q", true, 12, 28, "www.talmoren.com"},
        {u"http://a@b@c#d", true, 11, 12, "c"},  // the last '@' before the end
        {u"http://host", true, 7, 11, "host"},
        {u"http://", true, 7, 7, ""},
        {u"http:/", false, 0, 0, ""},
        {u"ftp://www.talmoren.com/", false, 0, 0, ""},
        {u"http:\\\\www.talmoren.com/", false, 0, 0, ""},
        {u"http://evil\\@www.talmoren.com/", false, 0, 0, ""},
        {u"http://www.talmoren.com/\\ \t\u00e9", true, 7, 23, "www.talmoren.com"},  // the path isn't looked at
        {u"http://www.t\u0101lmoren.com/", false, 0, 0, ""},
        {u"http://www.talmoren.com\xD800/", false, 0, 0, ""},
        {u"http://www.talmoren.com/\0"s, false, 0, 0, ""},  // a NUL anywhere
        {u"http://www.tal moren.com/", false, 0, 0, ""},
        {u"", false, 0, 0, ""},
    };
    for (const Case& c : cases) {
        const std::u16string_view address(c.address);
        const auto parts = checking::SplitPageAddress(address);
        ASSERT_EQ(parts.has_value(), c.splits) << c.host;
        if (!parts) continue;
        EXPECT_EQ(parts->hostStart, c.hostStart) << c.host;
        EXPECT_EQ(parts->authorityEnd, c.authorityEnd) << c.host;
        EXPECT_EQ(checking::HostText(address, *parts), c.host);
    }
}

TEST(VersionText, FileVersionTakesTheFourHalvesInOrder) {
    struct Case { std::uint32_t ms, ls; const char* text; };
    const Case cases[] = {
        {0x00010002u, 0x00030004u, "1.2.3.4"},
        {0x00010000u, 0x00000001u, "1.0.0.1"},
        {0u, 0u, "0.0.0.0"},
        {0xFFFFFFFFu, 0xFFFFFFFFu, "65535.65535.65535.65535"},  // the longest, 23 characters
        {0x80000000u, 0x00008000u, "32768.0.0.32768"},          // unsigned halves
    };
    for (const Case& c : cases) {
        char buffer[checking::kPathCapacity];
        EXPECT_TRUE(checking::FormatFileVersion(buffer, sizeof(buffer), c.ms, c.ls));
        EXPECT_STREQ(buffer, c.text);
    }
}

TEST(VersionText, PackageVersionIsTenCharacters) {
    const std::pair<std::uint32_t, const char*> cases[] = {
        {255u, "0x000000FF"}, {0u, "0x00000000"}, {0xDEADBEEFu, "0xDEADBEEF"}, {0x00636261u, "0x00636261"}};
    for (const auto& [number, text] : cases) {
        char buffer[checking::kPathCapacity];
        EXPECT_TRUE(checking::FormatPackageVersion(buffer, sizeof(buffer), number));
        EXPECT_STREQ(buffer, text);
    }
}

}  // namespace
