// The scriptrun tool: what it prints and returns for good and bad input.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "scriptrun.h"
#include "server_ids.h"
#include "status_text.h"

namespace {

namespace fs = std::filesystem;

struct ToolRun {
    int exitCode;
    std::string out;
    std::string err;
};

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

    static ToolRun Run(const std::vector<std::string>& arguments) {
        std::ostringstream out;
        std::ostringstream err;
        const int code = scriptrun::RunScriptTool(arguments, out, err);
        return {code, out.str(), err.str()};
    }

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
    struct Case {
        std::string script;
        std::string status;
        std::string tree;
    };
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
    struct Case {
        std::vector<std::string> arguments;
        std::string message;
    };
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

TEST(ScriptRunStatus, NamesAndMeanings) {
    EXPECT_EQ(scriptrun::StatusLine(S_OK), "0x00000000 S_OK: the script ran to its end");
    EXPECT_EQ(scriptrun::StatusLine(E_OUTOFMEMORY), "0x8007000E E_OUTOFMEMORY: out of memory");
    EXPECT_EQ(scriptrun::StatusLine(static_cast<HRESULT>(0x80070002)).rfind("0x80070002 HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND): ", 0), 0u);
    EXPECT_EQ(scriptrun::StatusLine(static_cast<HRESULT>(0x800704D2)), "0x800704D2 HRESULT_FROM_WIN32(1234): system error 1234");
    EXPECT_EQ(scriptrun::StatusLine(static_cast<HRESULT>(0x80041234)), "0x80041234: a failure");
}

}  // namespace
