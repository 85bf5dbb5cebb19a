// Automation strings, GUID text and the unsigned number parser, on the
// platform (under Wine) and on the stand-in.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "platform/com_ref.h"
#include "platform/conversion.h"
#include "platform/owned_string.h"
#ifdef _WIN32
#include "platform/owned_variant.h"
#endif
#include "platform/win32.h"

namespace {

using platform::WideString;

WideString Held(BSTR text) { return WideString(text, SysStringLen(text)); }

const GUID kClass = {0x3CB4DB0B, 0x97F1, 0x48D8, {0x88, 0x8E, 0xEE, 0xA1, 0x95, 0xAC, 0xB4, 0x3B}};

TEST(AutomationString, NullAndEmptyDiffer) {
    platform::SystemString empty(SysAllocString(OLESTR("")));
    ASSERT_NE(empty.Get(), nullptr);
    EXPECT_EQ(SysStringLen(empty.Get()), 0u);
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    SysFreeString(nullptr);  // allowed, does nothing
}

TEST(AutomationString, StoredLengthCountsEmbeddedNuls) {
    platform::SystemString text(SysAllocStringLen(OLESTR("ab\0cd"), 5));
    ASSERT_NE(text.Get(), nullptr);
    EXPECT_EQ(SysStringLen(text.Get()), 5u);
    EXPECT_EQ(Held(text.Get()), WideString(OLESTR("ab\0cd"), 5));
    EXPECT_EQ(text.Get()[5], OLECHAR(0));  // terminated after the stored length
    platform::SystemString toFill(SysAllocStringLen(nullptr, 3));
    ASSERT_NE(toFill.Get(), nullptr);
    EXPECT_EQ(SysStringLen(toFill.Get()), 3u);
    EXPECT_EQ(toFill.Get()[3], OLECHAR(0));
}

TEST(AutomationString, ConcatenationReadsNullAsEmptyAndKeepsEveryUnit) {
    platform::SystemString left(SysAllocString(OLESTR("ERR ")));
    platform::SystemString right(SysAllocStringLen(OLESTR("x\0y"), 3));
    struct Case { BSTR left; BSTR right; WideString joined; };
    const Case cases[] = {
        {left.Get(), right.Get(), WideString(OLESTR("ERR x\0y"), 7)},
        {nullptr, right.Get(), WideString(OLESTR("x\0y"), 3)},
        {left.Get(), nullptr, OLESTR("ERR ")},
        {nullptr, nullptr, WideString()},
    };
    for (const Case& c : cases) {
        platform::SystemString joined(nullptr);
        ASSERT_GE(VarBstrCat(c.left, c.right, joined.Receive()), 0);
        ASSERT_NE(joined.Get(), nullptr);  // even two empty texts give a string
        EXPECT_EQ(Held(joined.Get()), c.joined);
    }
}

TEST(GuidText, IsWrittenUpperCaseInBracesAndReadBack) {
    OLECHAR buffer[64];
    ASSERT_EQ(StringFromGUID2(kClass, buffer, 64), 39);
    EXPECT_EQ(WideString(buffer), OLESTR("{3CB4DB0B-97F1-48D8-888E-EEA195ACB43B}"));
    GUID back{};
    ASSERT_EQ(CLSIDFromString(buffer, &back), S_OK);
    EXPECT_TRUE(IsEqualGUID(back, kClass));
    // The buffer must hold the 38 characters and the terminator.
    EXPECT_EQ(StringFromGUID2(kClass, buffer, 38), 0);
    EXPECT_EQ(StringFromGUID2(kClass, buffer, 39), 39);
}

TEST(GuidText, OnlyTheBracedFormIsAGuid) {
    struct Case { const OLECHAR* text; bool parsed; };
    const Case cases[] = {
        {OLESTR("{3CB4DB0B-97F1-48D8-888E-EEA195ACB43B}"), true},
        {OLESTR("{3cb4db0b-97f1-48d8-888e-eea195acb43b}"), true},
        {OLESTR("{3cB4Db0B-97f1-48D8-888e-EEa195aCB43b}"), true},
        {OLESTR("3CB4DB0B-97F1-48D8-888E-EEA195ACB43B"), false},
        {OLESTR("{3CB4DB0B-97F1-48D8-888E-EEA195ACB43B"), false},
        {OLESTR("{3CB4DB0B-97F1-48D8-888E-EEA195ACB43B}x"), false},
        {OLESTR("{3CB4DB0B-97F1-48D8-888E-EEA195ACB43G}"), false},
        {OLESTR("{3CB4DB0B_97F1-48D8-888E-EEA195ACB43B}"), false},
        {OLESTR("{3CB4DB0-B97F1-48D8-888E-EEA195ACB43B}"), false},
        {OLESTR("{ 3CB4DB0-97F1-48D8-888E-EEA195ACB43B}"), false},
        {OLESTR(""), false},
        {OLESTR("Tervagon.NoSuchProgID"), false},
    };
    for (const Case& c : cases) {
        GUID parsed{};
        const HRESULT status = CLSIDFromString(c.text, &parsed);
        if (c.parsed) {
            EXPECT_EQ(status, S_OK) << WideString(c.text).size();
            EXPECT_TRUE(IsEqualGUID(parsed, kClass));
        } else {
            EXPECT_EQ(status, CO_E_CLASSSTRING) << std::string(c.text, c.text + WideString(c.text).size());
        }
    }
}

TEST(UnsignedNumberText, DecimalFromZeroTo4294967295) {
    struct Case { const OLECHAR* text; HRESULT status; ULONG number; };
    const Case cases[] = {
        {OLESTR("0"), S_OK, 0},
        {OLESTR("1"), S_OK, 1},
        {OLESTR("4294967295"), S_OK, 4294967295u},
        {OLESTR("00012"), S_OK, 12},
        {OLESTR(" 12"), S_OK, 12},
        {OLESTR("12 "), S_OK, 12},
        {OLESTR("\t7"), S_OK, 7},
        {OLESTR("+5"), S_OK, 5},
        {OLESTR("-0"), S_OK, 0},
        {OLESTR("4294967296"), DISP_E_OVERFLOW, 0},
        {OLESTR("99999999999999999999"), DISP_E_OVERFLOW, 0},
        {OLESTR("-1"), DISP_E_OVERFLOW, 0},
        {OLESTR(""), DISP_E_TYPEMISMATCH, 0},
        {OLESTR("x"), DISP_E_TYPEMISMATCH, 0},
        {OLESTR("1x"), DISP_E_TYPEMISMATCH, 0},
        {OLESTR("0x10"), DISP_E_TYPEMISMATCH, 0},
        {OLESTR("12 3"), DISP_E_TYPEMISMATCH, 0},
    };
    for (const Case& c : cases) {
        WideString text = c.text;
        const std::string shown(text.begin(), text.end());
        ULONG number = 777;
        const HRESULT status = VarUI4FromStr(text.data(), 0, 0, &number);
        EXPECT_EQ(status, c.status) << '"' << shown << '"';
        // A failed parse leaves the number alone.
        EXPECT_EQ(number, SUCCEEDED(c.status) ? c.number : 777u) << '"' << shown << '"';
    }
}

#ifdef _WIN32
ULONG References(IUnknown* object) {
    object->AddRef();
    return object->Release();
}

// A counted reference in a holder is released exactly once on every road out
// of it, and detaching hands it over still counted.
TEST(ComReference, IsReleasedOnceOnEveryRoad) {
    using Stream = platform::ComRef<IStream>;
    struct Road {
        const char* name;
        void (*leave)(Stream& holder, Stream& other);
        ULONG referencesAfter;  // of the held stream, its keeper's one included
    };
    const Road roads[] = {
        {"reset", [](Stream& holder, Stream&) { holder.Reset(); }, 1},
        {"receive", [](Stream& holder, Stream&) { (void)holder.Receive(); }, 1},
        {"attach another", [](Stream& holder, Stream& other) { holder.Attach(other.Detach()); }, 1},
        {"moved over", [](Stream& holder, Stream& other) { holder = std::move(other); }, 1},
        {"moved out", [](Stream& holder, Stream&) { Stream gone(std::move(holder)); }, 1},
        {"detach", [](Stream& holder, Stream&) { (void)holder.Detach(); }, 2},
        {"handed to a variant that goes",
         [](Stream& holder, Stream&) {
             platform::OwnedVariant value;
             V_VT(&value) = VT_UNKNOWN;
             V_UNKNOWN(&value) = holder.Detach();
         },
         1},
    };
    for (const Road& road : roads) {
        SCOPED_TRACE(road.name);
        Stream keeper, other;
        ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, keeper.Receive()), S_OK);
        ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, other.Receive()), S_OK);
        keeper->AddRef();
        Stream holder(keeper.Get());
        EXPECT_EQ(References(keeper.Get()), 2u);
        road.leave(holder, other);
        EXPECT_EQ(References(keeper.Get()), road.referencesAfter);
        if (road.referencesAfter == 2) keeper->Release();  // the detached reference
    }
}
#endif

}  // namespace
