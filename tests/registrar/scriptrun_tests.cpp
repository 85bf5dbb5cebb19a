// The scriptrun tool: what it prints and returns for good and bad input.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/allocation.h"
#include "scriptrun.h"
#include "server_ids.h"
#include "status_text.h"

namespace {

namespace fs = std::filesystem;

struct ToolRun { int exitCode; std::string out; std::string err; };

class ScriptRunTool : public ::testing::Test {
protected:
    void SetUp() override {
        directory_ = fs::temp_directory_path() /
                     ("scriptrun-test-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::create_directories(directory_);
    }
    void TearDown() override { fs::remove_all(directory_); }

    std::string Put(const std::string& name, const std::string& bytes) {
        const fs::path path = directory_ / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path.string();
    }
    std::string PathOf(const std::string& name) const { return (directory_ / name).string(); }

    static ToolRun Run(const std::vector<std::string>& arguments, const std::string& input = {}) {
        std::istringstream in(input);
        std::ostringstream out;
        std::ostringstream err;
        const int code = scriptrun::RunScriptTool(arguments, in, out, err);
        return {code, out.str(), err.str()};
    }
    static std::string FirstLine(const std::string& text) { return text.substr(0, text.find('\n')); }
    static std::string AfterFirstLine(const std::string& text) { return text.substr(text.find('\n') + 1); }

    static std::string ReadBack(const std::string& path) {
        std::ifstream file(path, std::ios::binary);
        std::ostringstream bytes;
        bytes << file.rdbuf();
        return bytes.str();
    }

    fs::path directory_;
};

TEST_F(ScriptRunTool, RegistersTheClassScriptAndUnregistersItFromTheDump) {
    std::ifstream file(TERVAGON_SCRIPT102, std::ios::binary);
    std::ostringstream script;
    script << file.rdbuf();
    const std::string scriptPath = Put("class.rgs", script.str());
    const std::string dump = PathOf("after.reg");

    const ToolRun registered = Run({"register", scriptPath, "--var", "APPID={app}", "-v", "Module=C:\\it''s.dll",
                                    "--dump", dump});
    EXPECT_EQ(registered.exitCode, 0) << registered.err;
    EXPECT_EQ(registered.out.rfind("status: 0x00000000 S_OK: ", 0), 0u) << registered.out;
    const std::string classKey = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\" TERVAGON_CLSID_TEXT "\\InprocServer32]\n";
    EXPECT_NE(registered.out.find(classKey + "@=sz:\"C:\\\\it's.dll\"\n\"ThreadingModel\"=sz:\"Apartment\"\n"),
              std::string::npos)
        << registered.out;
    // What is printed after the status line is exactly what the dump holds.
    EXPECT_EQ(registered.out.substr(registered.out.find('\n') + 1), ReadBack(dump));

    const ToolRun unregistered = Run({"unregister", scriptPath, "--seed", dump, "-v", "APPID=x", "-v", "MODULE=y"});
    EXPECT_EQ(unregistered.exitCode, 0) << unregistered.err;
    EXPECT_EQ(unregistered.out,
              "status: 0x00000000 S_OK: the script ran to its end\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID]\n");
}

TEST_F(ScriptRunTool, FailingScriptsShowTheirStatusAndTheTakenBackTree) {
    struct Case { std::string script; std::string status; std::string tree; };
    const Case cases[] = {
        // The rollback stops where the text can't be read: A stays.
        {"HKCU { A { 'B\\C' } }", "0x80020009 DISP_E_EXCEPTION: ", "[HKEY_CURRENT_USER\\A]\n"},
        {"HKCU { A = b 123 }", "0x80004005 E_FAIL: ", "(the registry is empty)\n"},
        {"HKCU { A = s '%unknown%' }", "0x80020009 DISP_E_EXCEPTION: ", "(the registry is empty)\n"},
        {"HKCU { 'unterminated }", "0x80020009 DISP_E_EXCEPTION: ", "(the registry is empty)\n"},
    };
    for (const Case& c : cases) {
        const ToolRun run = Run({"register", Put("bad.rgs", c.script)});
        EXPECT_EQ(run.exitCode, 1) << c.script;
        EXPECT_EQ(run.out.rfind("status: " + c.status, 0), 0u) << run.out;
        EXPECT_EQ(run.out.substr(run.out.find('\n') + 1), c.tree) << c.script;
    }
    const std::string seed = Put("seed.reg", "[HKCU\\A\\Sub]\n");
    const ToolRun locked = Run({"unregister", Put("a.rgs", "HKCU { A }"), "--seed", seed});
    EXPECT_EQ(locked.exitCode, scriptrun::kRegistryFailed);
    EXPECT_EQ(locked.out.rfind("status: 0x80070005 HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED): ", 0), 0u) << locked.out;
    EXPECT_NE(locked.out.find("[HKEY_CURRENT_USER\\A\\Sub]"), std::string::npos) << locked.out;
}

// Where and why a run stopped: one script for each refusal of the language and
// of the walk, in register mode, with the status line it gives and the exit status.
TEST_F(ScriptRunTool, FailingRunsNameTheLineColumnAndReason) {
    constexpr int kMalformed = scriptrun::kMalformedScript;
    constexpr int kRegistry = scriptrun::kRegistryFailed;
    const std::string disp = "0x80020009 DISP_E_EXCEPTION: ";
    const std::string seed = Put("locked.reg", "[HKCU\\A\\Unlisted]\n");
    std::string nested = "HKCU {";
    for (int level = 0; level < 600; ++level) nested += " A {";
    struct Case {
        std::string script;
        std::vector<std::string> options;
        int exitCode;
        std::string status;  // the first line, after "status: "
        unsigned failAllocation = 0;
    };
    const Case cases[] = {
        // The language's refusals.
        {"HKCU\r\n{\r\n\tA\r\n\t{\r\n", {}, kMalformed,
         disp + "line 5, column 1: the text ends where a token is needed; the block opened at line 4, column 2 is not closed"},
        {"   \r\n  ", {}, kMalformed, disp + "line 2, column 3: the text ends where a token is needed"},
        {"HKCU { A = s 'open }", {}, kMalformed, disp + "line 1, column 14: a quoted token has no closing quote"},
        {"HKCU {\n " + std::string(4095, 't') + " }", {}, kMalformed,
         disp + "line 2, column 2: a token is longer than 4094 bytes"},
        {"HKCR{ A }", {}, kMalformed,
         disp + "line 1, column 1: \"HKCR{\" is not a root key: HKCR, HKCU, HKLM, HKU, HKPD, HKDD, HKCC or their long names"},
        {"HKCU\n  A { }", {}, kMalformed, disp + "line 2, column 3: a root key must be followed by '{', not by \"A\""},
        {"HKCU { A { 'B\\C' } }", {}, kMalformed,
         disp + "line 1, column 12: the key name \"B\\\\C\" holds a backslash: a key clause names one level"},
        {"HKCU { val Name 'x' }", {}, kMalformed,
         disp + "line 1, column 17: a value name must be followed by '=', not by \"x\""},
        {"HKCU { A = sz 'x' }", {}, kMalformed, disp + "line 1, column 12: \"sz\" is not a value type: s, d, b or m"},
        {"HKCU { A = b ABC }", {}, kMalformed,
         "0x80004005 E_FAIL: line 1, column 14: the b value \"ABC\" has an odd number of hexadecimal digits"},
        {"HKCU { A = s '100%' }", {}, kMalformed,
         disp + "line 1, column 18: a '%' has no closing '%' (a percent sign is written %%)"},
        {"HKCU { %" + std::string(32, 'n') + "% }", {}, kMalformed,
         "0x80004005 E_FAIL: line 1, column 8: the variable name \"" + std::string(32, 'n') +
             "\" holds 32 bytes; a variable name holds at most 31"},
        {"HKCU {\n\tA = s '%Nowhere%'\n}", {}, kMalformed,
         disp + "line 2, column 9: no variable \"Nowhere\" is defined (give it with --var NAME=VALUE, or Module and "
                "Module_Raw with --module PATH)"},
        {"HKCU { A }", {}, kRegistry, "0x8007000E E_OUTOFMEMORY: line 1, column 1: memory ran out", 1},
        {"HKCU { " + std::string(256, 'k') + " }", {}, kRegistry,
         "0x80070057 E_INVALIDARG: line 1, column 8: the registry refused to create the key \"" + std::string(40, 'k') +
             "\"...: an invalid argument was passed"},
        // This project's own refusals.
        {"HKCU { A { '' } }", {}, kMalformed, disp + "line 1, column 12: a key name is empty"},
        {"HKCU { ForceRemove " + std::string(260, 'k') + " }", {}, kMalformed,
         disp + "line 1, column 20: the key name \"" + std::string(40, 'k') +
             "\"... holds 260 bytes; a key name holds at most 259"},
        {"HKCU { val " + std::string(260, 'v') + " = s x }", {}, kMalformed,
         disp + "line 1, column 12: the value name \"" + std::string(40, 'v') +
             "\"... holds 260 bytes; a value name holds at most 259"},
        {nested, {}, kMalformed, disp + "line 1, column 2054: blocks are nested more than 512 deep"},
        {"HKCU { val V = s x { } }", {}, kMalformed,
         disp + "line 1, column 20: a block follows a value clause, and a value has no subkeys"},
        // Positions that the expansion moved: behind a longer value, inside a value, behind a %%.
        {"HKCU { A = s '%Module%' 'B\\C' }", {"--module", "C:\\it's.dll"}, kMalformed,
         disp + "line 1, column 29 (line 1, column 25 as written): the key name \"B\\\\C\" holds a backslash: a key "
                "clause names one level"},
        {"HKCU {\n\t%Module_Raw% }", {"--module", "C:\\x.dll"}, kMalformed,
         disp + "line 2, column 2 (in the value of %Module_Raw% at line 2, column 2 as written): the key name "
                "\"C:\\\\x.dll\" holds a backslash: a key clause names one level"},
        {"HKCU { A = s '100%%' '\\' }", {}, kMalformed,
         disp + "line 1, column 21 (line 1, column 22 as written): the key name \"\\\\\" holds a backslash: a key "
                "clause names one level"},
        // The registry's refusal in unregister mode.
        {"HKCU {\n\tA\n}", {"--seed", seed, "--unregister"}, kRegistry,
         "0x80070005 HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED): line 2, column 2: the registry refused to delete the key "
         "\"A\": access denied; a key that still has subkeys the script does not list can't be deleted"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> arguments = {"register", "-"};
        for (const std::string& option : c.options) {
            if (option == "--unregister") {
                arguments[0] = "unregister";
            } else {
                arguments.push_back(option);
            }
        }
        platform::allocation_seam::FailNth(c.failAllocation);
        const ToolRun run = Run(arguments, c.script);
        platform::allocation_seam::FailNth(0);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.script.substr(0, 60);
        EXPECT_EQ(FirstLine(run.out), "status: " + c.status) << c.script.substr(0, 60);
    }
}

TEST_F(ScriptRunTool, ScriptWithANulByteEndsThereWithAWarning) {
    const ToolRun run = Run({"register", Put("nul.rgs", std::string("HKCU { A }\0HKCU { B }", 21))});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.err.find("NUL byte at offset 10"), std::string::npos) << run.err;
    EXPECT_NE(run.out.find("[HKEY_CURRENT_USER\\A]"), std::string::npos);
    EXPECT_EQ(run.out.find("[HKEY_CURRENT_USER\\B]"), std::string::npos);
}

TEST_F(ScriptRunTool, UnusableInputIsRefusedWithAMessage) {
    const std::string script = Put("ok.rgs", "HKCU { A }");
    const std::string badSeed = Put("bad.reg", "[HKCU\\A]\nnot a value line\n");
    struct Case { std::vector<std::string> arguments; std::string message; };
    const Case cases[] = {
        {{}, "no mode given"},
        {{"install", script}, "unknown mode 'install'"},
        {{"register"}, "no script file given"},
        {{"register", PathOf("absent.rgs")}, "cannot read the script file"},
        {{"register", directory_.string()}, "cannot read the script file"},
        {{"register", script, script}, "more than one script given"},
        {{"register", script, "--var"}, "--var needs a value"},
        {{"register", script, "--var", "NOEQUALS"}, "NAME=VALUE"},
        {{"register", script, "--var", "=value"}, "NAME=VALUE"},
        {{"register", script, "--frobnicate"}, "unknown option '--frobnicate'"},
        {{"register", script, "--seed", PathOf("absent.reg")}, "cannot read the seed file"},
        {{"register", script, "--seed", badSeed}, "line 2"},
        {{"register", script, "--dump", (directory_ / "no" / "such" / "dir.reg").string()}, "cannot write the dump"},
        {{"register", "-", "--seed", "-"}, "can't both come from standard input"},
        {{"check", script, "--seed", badSeed}, "check starts from an empty registry"},
        {{"check", script, "--diff"}, "check starts from an empty registry"},
        {{"register", script, "--module"}, "--module needs a value"},
        {{"register", script, "--module", "C:\\" + std::string(257, 'm')}, "at most 259 bytes"},
    };
    for (const Case& c : cases) {
        const ToolRun run = Run(c.arguments);
        EXPECT_EQ(run.exitCode, 2) << c.message;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    }
    const ToolRun help = Run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.out.rfind("usage: scriptrun", 0), 0u);
}

TEST_F(ScriptRunTool, ScriptAndSeedComeFromStandardInputAndPipes) {
    const ToolRun piped = Run({"register", "-"}, "HKCU { A = s 'x' }");
    EXPECT_EQ(piped.exitCode, 0) << piped.err;
    EXPECT_EQ(AfterFirstLine(piped.out), "[HKEY_CURRENT_USER\\A]\n@=sz:\"x\"\n");

    const ToolRun seeded = Run({"unregister", Put("a.rgs", "HKCU { A }"), "--seed", "-"}, "[HKCU\\A]\n[HKCU\\B]\n");
    EXPECT_EQ(seeded.exitCode, 0) << seeded.err;
    EXPECT_EQ(AfterFirstLine(seeded.out), "[HKEY_CURRENT_USER\\B]\n");

    // A FIFO is read as it is written, as a process substitution is.
    const std::string fifo = PathOf("script.fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::thread writer([&fifo] { std::ofstream(fifo, std::ios::binary) << "HKCU { FromFifo }"; });
    const ToolRun fromFifo = Run({"register", fifo});
    writer.join();
    EXPECT_EQ(fromFifo.exitCode, 0) << fromFifo.err;
    EXPECT_EQ(AfterFirstLine(fromFifo.out), "[HKEY_CURRENT_USER\\FromFifo]\n");
}

// Module and Module_Raw as registration defines them: single quotes doubled,
// Module wrapped in double quotes for an executable.
TEST_F(ScriptRunTool, ModuleDefinesTheRegistrationVariables) {
    std::ifstream file(TERVAGON_SCRIPT102, std::ios::binary);
    std::ostringstream script;
    script << file.rdbuf();
    const std::string path = "C:\\Program Files\\it's\\Tervagon.DLL";
    const ToolRun registered = Run({"register", Put("class.rgs", script.str()), "--var", "APPID={app}", "--module", path});
    EXPECT_EQ(registered.exitCode, 0) << registered.out;
    EXPECT_NE(registered.out.find("\\InprocServer32]\n@=sz:\"C:\\\\Program Files\\\\it's\\\\Tervagon.DLL\"\n"),
              std::string::npos)
        << registered.out;

    const std::string variables = Put("vars.rgs", "HKCU { M = s '%Module%' R = s '%Module_Raw%' }");
    struct Case { std::string module; std::string tree; };
    const Case cases[] = {
        {"C:\\it's.dll", "[HKEY_CURRENT_USER\\M]\n@=sz:\"C:\\\\it's.dll\"\n[HKEY_CURRENT_USER\\R]\n@=sz:\"C:\\\\it's.dll\"\n"},
        {"C:\\a''b.EXE",
         "[HKEY_CURRENT_USER\\M]\n@=sz:\"\\\"C:\\\\a''b.EXE\\\"\"\n[HKEY_CURRENT_USER\\R]\n@=sz:\"C:\\\\a''b.EXE\"\n"},
    };
    for (const Case& c : cases) {
        const ToolRun run = Run({"register", variables, "--module", c.module});
        EXPECT_EQ(run.exitCode, 0) << run.out;
        EXPECT_EQ(AfterFirstLine(run.out), c.tree) << c.module;
    }
    // A --var of the same name comes first and wins, as the caller's pairs do in a registration.
    const ToolRun overridden = Run({"register", variables, "--var", "module=mine", "--module", "C:\\x.dll"});
    EXPECT_NE(overridden.out.find("[HKEY_CURRENT_USER\\M]\n@=sz:\"mine\"\n"), std::string::npos) << overridden.out;
}

TEST_F(ScriptRunTool, CheckShowsWhatRegistrationWroteAndWhatUnregistrationLeft) {
    const std::string script = Put("check.rgs",
                                   "HKCR { NoRemove CLSID { C = s 'c' { val v = s 'w' } } }\n"
                                   "HKLM { NoRemove SOFTWARE { NoRemove Classes { K = s 'k' } } }\n");
    const ToolRun checked = Run({"check", script});
    EXPECT_EQ(checked.exitCode, 0) << checked.err;
    EXPECT_EQ(checked.out,
              "register: status: 0x00000000 S_OK: the script ran to its end\n"
              "wrote:\n"
              "+[HKEY_CLASSES_ROOT\\CLSID]\n"
              "+[HKEY_CLASSES_ROOT\\CLSID\\C]\n"
              "+@=sz:\"c\"\n"
              "+\"v\"=sz:\"w\"\n"
              "+[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\K]\n"
              "+@=sz:\"k\"\n"
              "unregister: status: 0x00000000 S_OK: the script ran to its end\n"
              "left behind:\n"
              "[HKEY_CLASSES_ROOT\\CLSID]\n");

    // An unregistration that fails stops there and shows what it could not take away.
    const ToolRun stuck = Run({"check", Put("stuck.rgs", "HKCU { A { B } }\nHKCU { NoRemove A { C } }")});
    EXPECT_EQ(stuck.exitCode, scriptrun::kRegistryFailed);
    EXPECT_NE(stuck.out.find("unregister: status: 0x80070005 HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED): line 1, "
                             "column 8: the registry refused to delete the key \"A\""),
              std::string::npos)
        << stuck.out;
    EXPECT_EQ(stuck.out.substr(stuck.out.find("left behind:")), "left behind:\n[HKEY_CURRENT_USER\\A]\n[HKEY_CURRENT_USER\\A\\C]\n");

    const ToolRun malformed = Run({"check", Put("bad.rgs", "HKCU { A = s '%x%' }")});
    EXPECT_EQ(malformed.exitCode, scriptrun::kMalformedScript);
    EXPECT_EQ(AfterFirstLine(malformed.out), "left behind by the failed registration: nothing\n");
}

TEST_F(ScriptRunTool, DiffShowsAddedRemovedAndChangedLinesUnderTheRootNamed) {
    const std::string seed = Put("seed.reg",
                                 "[HKCU\\A]\n\"old\"=sz:\"1\"\n\"keep\"=sz:\"k\"\n[HKCU\\Gone]\n@=sz:\"g\"\n"
                                 "[HKLM\\SOFTWARE\\Classes\\Y]\n");
    const std::string script =
        Put("diff.rgs", "HKCU { A { val old = s 2 val new = d 7 } Delete Gone }\nHKCR { X { Y } Y = s 'via classes' }");
    const ToolRun run = Run({"register", script, "--seed", seed, "--diff"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(AfterFirstLine(run.out),
              "+[HKEY_CLASSES_ROOT\\X]\n"
              "+[HKEY_CLASSES_ROOT\\X\\Y]\n"
              "+[HKEY_CLASSES_ROOT\\Y]\n"
              "+@=sz:\"via classes\"\n"
              " [HKEY_CURRENT_USER\\A]\n"
              "~\"old\"=sz:\"2\" (was sz:\"1\")\n"
              "+\"new\"=dword:00000007\n"
              "-[HKEY_CURRENT_USER\\Gone]\n"
              "-@=sz:\"g\"\n");
    const ToolRun unchanged = Run({"unregister", Put("none.rgs", "HKCU { Absent }"), "--diff"});
    EXPECT_EQ(AfterFirstLine(unchanged.out), "(no changes)\n");
}

TEST(ScriptRunStatus, NamesAndMeanings) {
    EXPECT_EQ(scriptrun::StatusLine(S_OK), "0x00000000 S_OK: the script ran to its end");
    EXPECT_EQ(scriptrun::StatusLine(E_OUTOFMEMORY), "0x8007000E E_OUTOFMEMORY: out of memory");
    EXPECT_EQ(scriptrun::StatusLine(static_cast<HRESULT>(0x80070002)).rfind("0x80070002 HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND): ", 0), 0u);
    EXPECT_EQ(scriptrun::StatusLine(static_cast<HRESULT>(0x800704D2)), "0x800704D2 HRESULT_FROM_WIN32(1234): system error 1234");
    EXPECT_EQ(scriptrun::StatusLine(static_cast<HRESULT>(0x80041234)), "0x80041234: a failure");
}

}  // namespace
