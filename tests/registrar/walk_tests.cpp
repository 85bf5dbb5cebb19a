// The walk over the registry: what register and unregister mode create,
// write, keep and delete, the rollback of a failed root block, and recovery
// over absent keys. Trees are read below HKEY_CURRENT_USER\TervagonRegistrarTest.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/conversion.h"
#include "registrar/script_parser.h"
#include "registry_text.h"
#include "script_run.h"

namespace registrar_test {
namespace {

enum class Mode { Register, Unregister };

struct WalkCase {
    const char* name;
    std::vector<SeedEntry> seed;
    std::string body;  // placed inside the test key's block
    Mode mode;
    HRESULT status;
    std::vector<std::string> tree;  // the test key's tree afterwards
};

class WalkTest : public RegistryTest, public ::testing::WithParamInterface<WalkCase> {};

TEST_P(WalkTest, LeavesTheTree) {
    const WalkCase& c = GetParam();
    Seed(c.seed);
    const HRESULT status = RunText(InTestKey(c.body), c.mode == Mode::Register, {{"APPID", "{app}"}});
    EXPECT_EQ(HresultText(status), HresultText(c.status));
    EXPECT_EQ(TestTree(), Sorted(c.tree));
}

const std::string kDeep(300, 'k');  // a key name no registry accepts, refused before it is used

const WalkCase kRegisterCases[] = {
    {"KeysDefaultValuesAndValues", {},
     "\tK = s 'ControlInstaller Class'\n\t{\n\t\tval Text = s '%APPID%'\n\t\tval N = d 10\n"
     "\t\tval Bin = b 0A1b\n\t\tval Multi = m 'x\\0y\\0'\n\t\tSub\n\t}",
     Mode::Register, S_OK,
     {"K", "K: @=sz:\"ControlInstaller Class\"", "K: \"Text\"=sz:\"{app}\"", "K: \"N\"=dword:0000000a",
      "K: \"Bin\"=hex(3):0a,1b", "K: \"Multi\"=hex(7):78,00,79,00,00", "K\\Sub"}},
    {"KeywordsAndLettersInAnyCase", {}, "noremove K { VAL a = S 'x' forceremove F { vAl b = M '' } }",
     Mode::Register, S_OK, {"K", "K: \"a\"=sz:\"x\"", "K\\F", "K\\F: \"b\"=hex(7):00"}},
    {"ExistingKeysAreOpenedAndKept", {{"K", "old", "1"}, {"K\\Sub", nullptr, ""}}, "K = s 'new' { val old = s '2' }",
     Mode::Register, S_OK, {"K", "K: @=sz:\"new\"", "K: \"old\"=sz:\"2\"", "K\\Sub"}},
    {"ForceRemoveReplacesTheTree", {{"K\\Old\\Deeper", "v", "1"}, {"K", "v", "2"}}, "ForceRemove K { New }",
     Mode::Register, S_OK, {"K", "K\\New"}},
    {"ForceRemoveLeavesProtectedNamesAtAnyDepth",
     {{"clsid\\Keep", nullptr, ""}, {"A\\Interface\\Keep", nullptr, ""}, {"A\\B\\software\\Keep", nullptr, ""},
      {"A\\B\\Component Categories\\Keep", nullptr, ""}},
     "ForceRemove ClSiD { New } A { ForceRemove INTERFACE B { ForceRemove SOFTWARE "
     "ForceRemove 'component categories' } }",
     Mode::Register, S_OK,
     {"clsid", "clsid\\Keep", "clsid\\New", "A", "A\\Interface", "A\\Interface\\Keep", "A\\B", "A\\B\\software",
      "A\\B\\software\\Keep", "A\\B\\Component Categories", "A\\B\\Component Categories\\Keep"}},
    {"DeleteRemovesTheTreeAndCreatesNothing", {{"K\\Sub", "v", "1"}, {"Other", nullptr, ""}},
     "Delete K = s 'ignored' { Inner { val x = s y } } Delete Absent Other", Mode::Register, S_OK, {"Other"}},
    {"DeleteLeavesProtectedNames", {{"AppID\\Keep", nullptr, ""}, {"X\\TypeLib\\Keep", nullptr, ""}},
     "Delete appid X { Delete typelib }", Mode::Register, S_OK,
     {"AppID", "AppID\\Keep", "X", "X\\TypeLib", "X\\TypeLib\\Keep"}},
    {"BracedNameNeedsNoQuotes", {}, "{6B3B2B8C-0000-4000-8000-000000000001} = s 'x'", Mode::Register, S_OK,
     {"{6B3B2B8C-0000-4000-8000-000000000001}", "{6B3B2B8C-0000-4000-8000-000000000001}: @=sz:\"x\""}},
    {"QuotedClosingSignEndsTheBlock", {}, "A { '}abc'", Mode::Register, S_OK, {"A"}},
    {"AssignmentSignMayCarryText", {}, "A =junk s 'v'", Mode::Register, S_OK, {"A", "A: @=sz:\"v\""}},
    {"LongestValueName", {}, "A { val '" + std::string(259, 'v') + "' = s x }", Mode::Register, S_OK,
     {"A", "A: \"" + std::string(259, 'v') + "\"=sz:\"x\""}},
    // Failures take back the root block: the keys created before the failure are gone.
    {"TypeLetterNotInTheTable", {}, "A { val x = sz 'v' }", Mode::Register, DISP_E_EXCEPTION, {}},
    {"OddBinaryText", {}, "A { B { val x = b ABC } }", Mode::Register, E_FAIL, {}},
    // A spot that can't be parsed ends the rollback at the same place.
    {"BackslashInKeyName", {}, "A { 'B\\C' }", Mode::Register, DISP_E_EXCEPTION, {"A"}},
    {"BackslashAfterForceRemove", {{"B", nullptr, ""}}, "A ForceRemove 'B\\C'", Mode::Register,
     DISP_E_EXCEPTION, {"B"}},
    {"ValueNameWithoutAssignment", {}, "A { val x s 'v' }", Mode::Register, DISP_E_EXCEPTION, {"A"}},
    {"ValueNameTooLong", {}, "A { val '" + std::string(260, 'v') + "' = s x }", Mode::Register,
     DISP_E_EXCEPTION, {"A"}},
    {"KeyNameTooLongToRemember", {}, "A { " + kDeep + " }", Mode::Register, DISP_E_EXCEPTION, {"A"}},
    {"EmptyKeyNameIsRefused", {{"Sibling\\Inside", nullptr, ""}}, "ForceRemove ''", Mode::Register,
     DISP_E_EXCEPTION, {"Sibling", "Sibling\\Inside"}},
    {"BlockAfterAValueIsRefused", {}, "A { val x = s y { B } }", Mode::Register, DISP_E_EXCEPTION, {}},
    {"MissingClosingBrace", {}, "A { B", Mode::Register, DISP_E_EXCEPTION, {}},
    {"UnknownVariable", {}, "A = s '%nobody%'", Mode::Register, DISP_E_EXCEPTION, {}},
    // The rollback deletes what the block lists, whatever existed before the run.
    {"RollbackTakesBackExistingListedKeys", {{"A", "mine", "1"}, {"B", nullptr, ""}},
     "A { val mine = s 2 } B { val x = b 1 }", Mode::Register, E_FAIL, {}},
    // ...and ends where a key can't be deleted: the keys after it stay.
    {"RollbackStopsAtAKeyWithUnlistedSubkeys", {{"A\\Unlisted", nullptr, ""}, {"Other", nullptr, ""}},
     "A { val v = s x } B = s y { val x = b 1 }", Mode::Register, E_FAIL,
     {"A", "A\\Unlisted", "B", "B: @=sz:\"y\"", "Other"}},
};

INSTANTIATE_TEST_SUITE_P(Register, WalkTest, ::testing::ValuesIn(kRegisterCases),
                         [](const auto& instance) { return std::string(instance.param.name); });

const WalkCase kUnregisterCases[] = {
    {"RemovesListedKeysAndValuesKeepsNoRemove",
     {{"A", "a", "1"}, {"A", "b", "2"}, {"A\\B\\C", "x", "y"}, {"A\\D", nullptr, ""}},
     "NoRemove A = s 'default' { val a = s x B = s q { C } }", Mode::Unregister, S_OK,
     {"A", "A: \"b\"=sz:\"2\"", "A\\D"}},
    {"NoRemoveValueStays", {{"A", "a", "1"}, {"A", "b", "2"}}, "NoRemove A { NoRemove val a = s x val b = s y }",
     Mode::Unregister, S_OK, {"A", "A: \"a\"=sz:\"1\""}},
    {"DefaultValueGoesWithItsKey", {{"A", "", "d"}}, "A = s 'other'", Mode::Unregister, S_OK, {}},
    {"AbsentKeysAndValuesAreNoFailure", {{"Other", "v", "1"}},
     "Absent = s x { val v = s y Deeper { Deepest } } val missing = s z Other2", Mode::Unregister, S_OK,
     {"Other", "Other: \"v\"=sz:\"1\""}},
    {"BlockOfAnAbsentKeyIsOnlyRead", {{"Keep", "v", "1"}, {"Gone", nullptr, ""}},
     "Absent { Keep { val v = s 1 } } Gone", Mode::Unregister, S_OK, {"Keep", "Keep: \"v\"=sz:\"1\""}},
    {"KeywordsOnlyNameTheKey", {{"F\\S", nullptr, ""}, {"D", nullptr, ""}, {"AppID", nullptr, ""}},
     "ForceRemove F { S } Delete D = s x Delete AppID", Mode::Unregister, S_OK, {}},
    {"UnlistedSubkeyStopsTheWalkAfterEarlierKeys", {{"First", nullptr, ""}, {"Second\\Unlisted", nullptr, ""},
      {"Third", nullptr, ""}},
     "First Second Third", Mode::Unregister, platform::HresultFromWin32(ERROR_ACCESS_DENIED),
     {"Second", "Second\\Unlisted", "Third"}},
    {"BackslashInKeyName", {{"A", nullptr, ""}}, "'A\\B'", Mode::Unregister, DISP_E_EXCEPTION, {"A"}},
    // Text that can't be read inside an absent key's block stops the walk
    // instead of being read out of place.
    {"MalformedBlockOfAnAbsentKeyStops", {{"Keep", nullptr, ""}}, "Absent { 'x\\y' Keep }", Mode::Unregister,
     DISP_E_EXCEPTION, {"Keep"}},
    {"EmptyTextInsideTheBlock", {{"A", nullptr, ""}}, "A { }", Mode::Unregister, S_OK, {}},
};

INSTANTIATE_TEST_SUITE_P(Unregister, WalkTest, ::testing::ValuesIn(kUnregisterCases),
                         [](const auto& instance) { return std::string(instance.param.name); });

// ---- whole texts ----------------------------------------------------------------

class ScriptTextTest : public RegistryTest {};

TEST_F(ScriptTextTest, EmptyTextSucceedsAndBlanksFail) {
    EXPECT_EQ(RunText("", true), S_OK);
    EXPECT_EQ(RunText("", false), S_OK);
    EXPECT_EQ(RunText(" \t\r\n", true), DISP_E_EXCEPTION);
    EXPECT_EQ(RunText(" \t\r\n", false), DISP_E_EXCEPTION);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kTestKey));
}

TEST_F(ScriptTextTest, RootNamesAndTheirBraces) {
    EXPECT_EQ(RunText(std::string("HKCU{ ") + kTestKey + " }", true), DISP_E_EXCEPTION);
    EXPECT_EQ(RunText(std::string("HKXX { ") + kTestKey + " }", true), DISP_E_EXCEPTION);
    EXPECT_EQ(RunText(std::string("HKCU ") + kTestKey, true), DISP_E_EXCEPTION);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kTestKey));
    // Only the first character of the opening token counts; trailing blanks are fine.
    EXPECT_EQ(RunText(std::string("hkey_current_user {rest ") + kTestKey + " }\r\n \t", true), S_OK);
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kTestKey));
}

TEST_F(ScriptTextTest, OnlyTheFailedRootBlockIsTakenBack) {
    const std::string text = InTestKey("First") + InTestKey("Second { val x = b 1 }");
    EXPECT_EQ(RunText(text, true), E_FAIL);
    EXPECT_EQ(TestTree(), Sorted({"First"}));
}

TEST_F(ScriptTextTest, SecondBlockOfADifferentRootIsWalkedToo) {
    const std::string text = InTestKey("A") + "HKEY_CURRENT_USER { NoRemove " + kTestKey + " { B } }";
    ASSERT_EQ(RunText(text, true), S_OK);
    EXPECT_EQ(TestTree(), Sorted({"A", "B"}));
    ASSERT_EQ(RunText(text, false), S_OK);
    EXPECT_EQ(TestTree(), std::vector<std::string>{});
}

TEST_F(ScriptTextTest, RegisterThenUnregisterLeavesOnlyNoRemoveKeys) {
    const std::string body =
        "Plain = s x { val v = d 7 Inner { val m = m 'a\\0b' } }\r\n"
        "NoRemove Shared { Mine = s y val stays = s z NoRemove val kept = s k }\r\n"
        "ForceRemove Forced { val b = b 00ff }";
    ASSERT_EQ(RunText(InTestKey(body), true), S_OK);
    EXPECT_EQ(TestTree(), Sorted({"Plain", "Plain: @=sz:\"x\"", "Plain: \"v\"=dword:00000007", "Plain\\Inner",
                                  "Plain\\Inner: \"m\"=hex(7):61,00,62,00,00", "Shared", "Shared\\Mine",
                                  "Shared\\Mine: @=sz:\"y\"", "Shared: \"stays\"=sz:\"z\"",
                                  "Shared: \"kept\"=sz:\"k\"", "Forced", "Forced: \"b\"=hex(3):00,ff"}));
    ASSERT_EQ(RunText(InTestKey(body), false), S_OK);
    EXPECT_EQ(TestTree(), Sorted({"Shared", "Shared: \"kept\"=sz:\"k\""}));
}

TEST_F(ScriptTextTest, NestingBeyondTheLimitIsRefused) {
    // Absent keys: the walk only reads, so the depth is the text's alone.
    auto nested = [](int levels) {
        std::string text;
        for (int i = 0; i < levels; ++i) text += "n { ";
        for (int i = 0; i < levels; ++i) text += "} ";
        return text;
    };
    // The root block and the test key's block are two levels.
    EXPECT_EQ(RunText(InTestKey(nested(registrar::ScriptParser::kMaxNesting - 2)), false), S_OK);
    EXPECT_EQ(RunText(InTestKey(nested(registrar::ScriptParser::kMaxNesting - 1)), false), DISP_E_EXCEPTION);
    EXPECT_EQ(RunText(InTestKey(nested(100000)), false), DISP_E_EXCEPTION);
}

}  // namespace
}  // namespace registrar_test
