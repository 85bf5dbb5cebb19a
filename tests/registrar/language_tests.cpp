// The text form of registry scripts: tokens, variable expansion, value types,
// root names and the data bytes each value type writes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/allocation.h"
#include "registrar/script_parser.h"
#include "registrar/script_registrar.h"
#include "registrar/value_data.h"
#include "script_run.h"

namespace registrar_test {
namespace {

using registrar::ScriptParser;
using registrar::ScriptRegistrar;

// ---- tokens -----------------------------------------------------------------

struct TokenCase {
    const char* name;
    std::string text;
    std::vector<std::string> tokens;  // read in order, each with S_OK
    HRESULT last;                     // the status of the read after them
};

class TokenTest : public ::testing::TestWithParam<TokenCase> {};

TEST_P(TokenTest, ReadsTheTokensInOrder) {
    const TokenCase& c = GetParam();
    ScriptRegistrar owner;
    ScriptParser parser(owner);
    parser.SetCursor(c.text.c_str());
    ScriptParser::Token token;
    for (const std::string& expected : c.tokens) {
        ASSERT_EQ(parser.ReadToken(token), S_OK) << "before " << expected;
        EXPECT_EQ(std::string(token), expected);
    }
    EXPECT_EQ(HresultText(parser.ReadToken(token)), HresultText(c.last));
}

const TokenCase kTokenCases[] = {
    {"DoubledQuoteReadsAsOne", "'it''s'", {"it's"}, DISP_E_EXCEPTION},
    {"EmptyQuotesAreAnEmptyToken", "'' x", {"", "x"}, DISP_E_EXCEPTION},
    {"FourQuotesAreOneQuote", "''''", {"'"}, DISP_E_EXCEPTION},
    {"ClosingQuoteEndsTheToken", "'abc'def", {"abc", "def"}, DISP_E_EXCEPTION},
    {"QuotedBlanksAreKept", "' a\tb '", {" a\tb "}, DISP_E_EXCEPTION},
    {"SignsInsideATokenAreOrdinary", "a=b {x} =s", {"a=b", "{x}", "=s"}, DISP_E_EXCEPTION},
    {"RootAndBraceWithoutBlankAreOneToken", "HKCR{", {"HKCR{"}, DISP_E_EXCEPTION},
    {"QuoteInsideUnquotedTokenIsOrdinary", "ab'cd", {"ab'cd"}, DISP_E_EXCEPTION},
    {"OnlyTabLfCrSpaceSeparate", " \t\r\nx\vy\fz \x01w", {"x\vy\fz", "\x01w"}, DISP_E_EXCEPTION},
    {"UnterminatedQuoteFails", "'abc", {}, DISP_E_EXCEPTION},
    {"QuoteClosedOnlyByDoubledQuoteFails", "'abc''", {}, DISP_E_EXCEPTION},
    {"BlanksOnlyAreNoToken", " \t\r\n", {}, DISP_E_EXCEPTION},
    {"EmptyTextIsNoToken", "", {}, DISP_E_EXCEPTION},
    {"ReadsAfterAnEarlierToken", "a 'b' c", {"a", "b", "c"}, DISP_E_EXCEPTION},
    {"LongestToken", std::string(4094, 'x') + " y", {std::string(4094, 'x'), "y"}, DISP_E_EXCEPTION},
    {"TokenOneByteTooLong", std::string(4095, 'x'), {}, DISP_E_EXCEPTION},
    {"LongestQuotedToken", "'" + std::string(4094, 'q') + "'", {std::string(4094, 'q')}, DISP_E_EXCEPTION},
    {"QuotedTokenOneByteTooLong", "'" + std::string(4095, 'q') + "'", {}, DISP_E_EXCEPTION},
    {"DoubledQuoteCountsOnce", "'" + std::string(4093, 'q') + "'''", {std::string(4093, 'q') + "'"},
     DISP_E_EXCEPTION},
};

INSTANTIATE_TEST_SUITE_P(Tokens, TokenTest, ::testing::ValuesIn(kTokenCases),
                         [](const auto& instance) { return std::string(instance.param.name); });

TEST(Tokens, UnquotedTokenLeavesTheCursorOnTheBlank) {
    ScriptRegistrar owner;
    ScriptParser parser(owner);
    const char* text = "abc\tdef";
    parser.SetCursor(text);
    ScriptParser::Token token;
    ASSERT_EQ(parser.ReadToken(token), S_OK);
    EXPECT_EQ(parser.Cursor(), text + 3);
}

TEST(Tokens, SkipValueClauseReadsTheTokenAfterTheValue) {
    ScriptRegistrar owner;
    ScriptParser parser(owner);
    ScriptParser::Token token;
    parser.SetCursor("s 'a b' next");
    std::strcpy(token, "=");
    EXPECT_EQ(parser.SkipValueClause(token), S_OK);
    EXPECT_STREQ(token, "next");

    parser.SetCursor("s 'cut short'");
    std::strcpy(token, "=junk");
    EXPECT_EQ(parser.SkipValueClause(token), DISP_E_EXCEPTION);

    // Anything else is left as it is.
    parser.SetCursor("s x");
    std::strcpy(token, "name");
    EXPECT_EQ(parser.SkipValueClause(token), S_OK);
    EXPECT_STREQ(token, "name");
    EXPECT_EQ(parser.ReadToken(token), S_OK);
    EXPECT_STREQ(token, "s");
}

// ---- variable expansion -----------------------------------------------------

struct ExpansionCase { const char* name; std::string text; HRESULT status; std::string expanded; };

class ExpansionTest : public ::testing::TestWithParam<ExpansionCase> {};

const std::string kName31(31, 'n');
const std::string kName32(32, 'n');

TEST_P(ExpansionTest, ExpandsOrRefuses) {
    const ExpansionCase& c = GetParam();
    ScriptRegistrar owner;
    const std::pair<std::string, std::string> variables[] = {
        {"Module", "C:\\dir\\it''s.dll"},
        {"Percent", "50%APPID%"},
        {" a'b ", "odd name"},
        {"Dup", "first"},
        {"DUP", "second"},
        {kName31, "thirty-one"},
        {"Empty", ""},
    };
    for (const auto& [name, value] : variables) ASSERT_EQ(owner.AddVariable(Wide(name).c_str(), Wide(value).c_str()), S_OK);
    ScriptParser parser(owner);
    char* expanded = reinterpret_cast<char*>(1);
    EXPECT_EQ(HresultText(parser.ExpandVariables(c.text.c_str(), &expanded)), HresultText(c.status));
    if (SUCCEEDED(c.status)) {
        ASSERT_NE(expanded, nullptr);
        EXPECT_EQ(std::string(expanded), c.expanded);
    } else {
        EXPECT_EQ(expanded, nullptr);
    }
    platform::TaskFree(expanded);
}

const ExpansionCase kExpansionCases[] = {
    {"PlainTextIsCopied", "HKCR { a = s 'b' }", S_OK, "HKCR { a = s 'b' }"},
    {"TwoPercentSignsAreOne", "100%% and %%%%", S_OK, "100% and %%"},
    {"NameIsMatchedWithoutCase", "'%MODULE%'", S_OK, "'C:\\dir\\it''s.dll'"},
    {"ValueIsNotExpandedAgain", "[%percent%]", S_OK, "[50%APPID%]"},
    {"NameMayHoldBlanksAndQuotes", "%% a'b %%=% a'b %", S_OK, "% a'b %=odd name"},
    {"FirstAddedWins", "%dup%", S_OK, "first"},
    {"EmptyValue", "<%Empty%>", S_OK, "<>"},
    {"NameOf31BytesIsAccepted", "%" + kName31 + "%", S_OK, "thirty-one"},
    {"NameOf32BytesFails", "%" + kName32 + "%", E_FAIL, ""},
    {"UnterminatedNameFails", "a %Module", DISP_E_EXCEPTION, ""},
    {"UnterminatedLongNameFailsAsUnterminated", "%" + kName32, DISP_E_EXCEPTION, ""},
    {"LonePercentAtTheEndFails", "abc%", DISP_E_EXCEPTION, ""},
    {"UnknownNameFails", "%Nobody%", DISP_E_EXCEPTION, ""},
    {"EmptyText", "", S_OK, ""},
};

INSTANTIATE_TEST_SUITE_P(Expansion, ExpansionTest, ::testing::ValuesIn(kExpansionCases),
                         [](const auto& instance) { return std::string(instance.param.name); });

TEST(Expansion, GrowsPastItsFirstCapacity) {
    ScriptRegistrar owner;
    const std::string big(5000, 'v');
    ASSERT_EQ(owner.AddVariable(Wide("Big").c_str(), Wide(big).c_str()), S_OK);
    ScriptParser parser(owner);
    std::string text;
    std::string expected;
    for (int i = 0; i < 5; ++i) {
        text += "<%Big%>";
        expected += "<" + big + ">";
    }
    char* expanded = nullptr;
    ASSERT_EQ(parser.ExpandVariables(text.c_str(), &expanded), S_OK);
    EXPECT_EQ(std::string(expanded), expected);
    platform::TaskFree(expanded);
}

TEST(Expansion, NullArgumentsAreRefused) {
    ScriptRegistrar owner;
    ScriptParser parser(owner);
    char* expanded = nullptr;
    EXPECT_EQ(parser.ExpandVariables(nullptr, &expanded), E_POINTER);
    EXPECT_EQ(parser.ExpandVariables("x", nullptr), E_POINTER);
}

// ---- value types, hexadecimal digits, root names, protected names -------------

TEST(ValueTypes, LettersInAnyCaseAndNothingElse) {
    const std::pair<const char*, DWORD> found[] = {
        {"S", REG_SZ}, {"s", REG_SZ}, {"M", REG_MULTI_SZ}, {"m", REG_MULTI_SZ},
        {"D", REG_DWORD}, {"d", REG_DWORD}, {"B", REG_BINARY}, {"b", REG_BINARY},
    };
    for (const auto& [letter, type] : found) {
        DWORD seen = REG_NONE;
        EXPECT_TRUE(ScriptParser::LookupValueType(letter, &seen)) << letter;
        EXPECT_EQ(seen, type) << letter;
    }
    for (const char* letter : {"sz", "", "x", "S ", "dword"}) {
        DWORD seen = REG_NONE;
        EXPECT_FALSE(ScriptParser::LookupValueType(letter, &seen)) << letter;
    }
}

TEST(ValueTypes, HexDigitValues) {
    const std::string digits = "0123456789ABCDEFabcdef";
    const int values[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 10, 11, 12, 13, 14, 15};
    for (size_t i = 0; i < digits.size(); ++i) EXPECT_EQ(ScriptParser::HexDigitValue(digits[i]), values[i]) << digits[i];
    for (const char other : {'G', 'g', ' ', '\0', '/', ':', '@', '`', '\xFF'})
        EXPECT_EQ(ScriptParser::HexDigitValue(other), 0) << int(other);
}

TEST(RootKeys, ShortAndLongNamesInAnyCase) {
    const std::pair<const char*, HKEY> roots[] = {
        {"HKCR", HKEY_CLASSES_ROOT},       {"hkcr", HKEY_CLASSES_ROOT},
        {"HKCU", HKEY_CURRENT_USER},       {"HKLM", HKEY_LOCAL_MACHINE},
        {"HKU", HKEY_USERS},               {"HKPD", HKEY_PERFORMANCE_DATA},
        {"HKDD", HKEY_DYN_DATA},           {"HKCC", HKEY_CURRENT_CONFIG},
        {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT}, {"hkey_current_user", HKEY_CURRENT_USER},
        {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE}, {"HKEY_USERS", HKEY_USERS},
        {"HKEY_PERFORMANCE_DATA", HKEY_PERFORMANCE_DATA}, {"HKEY_DYN_DATA", HKEY_DYN_DATA},
        {"Hkey_Current_Config", HKEY_CURRENT_CONFIG},
    };
    for (const auto& [name, key] : roots) EXPECT_EQ(ScriptParser::LookupRootKey(name), key) << name;
    for (const char* name : {"HKCR{", "HKEY_CLASSES", "HK", "", "HKCR "})
        EXPECT_EQ(ScriptParser::LookupRootKey(name), nullptr) << name;
}

TEST(ProtectedNames, AreRecognisedInAnyCase) {
    for (const char* name : {"AppID", "appid", "CLSID", "clsid", "Component Categories", "COMPONENT CATEGORIES",
                             "FileType", "Interface", "INTERFACE", "Hardware", "Mime", "SAM", "sam", "SECURITY",
                             "Security", "SYSTEM", "system", "Software", "SOFTWARE", "TypeLib", "typelib"})
        EXPECT_FALSE(ScriptParser::IsRemovableKeyName(name)) << name;
    for (const char* name : {"AppID2", "CLSI", "Component", "Interfaces", "Tervagon.DLL", "{CLSID}", " SAM"})
        EXPECT_TRUE(ScriptParser::IsRemovableKeyName(name)) << name;
}

// ---- the data each value type writes ---------------------------------------------

struct DataCase { const char* name; DWORD type; std::string text; HRESULT status; std::vector<BYTE> bytes; };

class ValueDataTest : public ::testing::TestWithParam<DataCase> {};

TEST_P(ValueDataTest, FormsTheBytes) {
    const DataCase& c = GetParam();
    registrar::ValueData data;
    EXPECT_EQ(HresultText(registrar::FormValueData(c.type, c.text.c_str(), data)), HresultText(c.status));
    if (SUCCEEDED(c.status)) {
        EXPECT_EQ(data.type, c.type);
        EXPECT_EQ(std::vector<BYTE>(data.bytes, data.bytes + data.size), c.bytes);
    }
}

const DataCase kDataCases[] = {
    {"TextWithItsNul", REG_SZ, "ab", S_OK, {'a', 'b', 0}},
    {"BackslashIsOrdinaryInText", REG_SZ, "a\\0", S_OK, {'a', '\\', '0', 0}},
    {"EmptyText", REG_SZ, "", S_OK, {0}},
    {"MultiWithTrailingSeparator", REG_MULTI_SZ, "a\\0b\\0", S_OK, {'a', 0, 'b', 0, 0}},
    {"MultiWithoutTrailingSeparator", REG_MULTI_SZ, "a\\0b", S_OK, {'a', 0, 'b', 0, 0}},
    {"MultiEndsAtTheFirstEmptyString", REG_MULTI_SZ, "x\\0\\0y", S_OK, {'x', 0, 0}},
    {"MultiEmpty", REG_MULTI_SZ, "", S_OK, {0}},
    {"MultiStartingEmpty", REG_MULTI_SZ, "\\0a", S_OK, {0}},
    {"MultiOtherBackslashesStay", REG_MULTI_SZ, "a\\1\\", S_OK, {'a', '\\', '1', '\\', 0, 0}},
    {"Number", REG_DWORD, "10", S_OK, {10, 0, 0, 0}},
    {"LargestNumber", REG_DWORD, "4294967295", S_OK, {0xFF, 0xFF, 0xFF, 0xFF}},
    {"NumberTooLargeWritesZero", REG_DWORD, "4294967296", S_OK, {0, 0, 0, 0}},
    {"NotANumberWritesZero", REG_DWORD, "abc", S_OK, {0, 0, 0, 0}},
    {"BinaryPairs", REG_BINARY, "0A1b", S_OK, {0x0A, 0x1B}},
    {"BinaryOtherCharactersAreZero", REG_BINARY, "G1", S_OK, {0x01}},
    {"BinaryHighHalfFirst", REG_BINARY, "f00F", S_OK, {0xF0, 0x0F}},
    {"BinaryEmpty", REG_BINARY, "", S_OK, {}},
    {"BinaryOddLengthFails", REG_BINARY, "ABC", E_FAIL, {}},
};

INSTANTIATE_TEST_SUITE_P(ValueData, ValueDataTest, ::testing::ValuesIn(kDataCases),
                         [](const auto& instance) { return std::string(instance.param.name); });

TEST(ValueData, LongestTextsFit) {
    registrar::ValueData data;
    const std::string hex(4094, 'f');
    ASSERT_EQ(registrar::FormValueData(REG_BINARY, hex.c_str(), data), S_OK);
    EXPECT_EQ(data.size, 2047u);
    const std::string multi(4095, 'm');
    ASSERT_EQ(registrar::FormValueData(REG_MULTI_SZ, multi.c_str(), data), S_OK);
    EXPECT_EQ(data.size, 4097u);
    EXPECT_EQ(data.bytes[4095], 0);
    EXPECT_EQ(data.bytes[4096], 0);
}

}  // namespace
}  // namespace registrar_test
