// The server's two scripts, run through UpdateRegistryFromScript from a module
// file that carries them, against HKEY_CLASSES_ROOT: exactly the listed keys
// and values, nothing else, and nothing left after unregistration but the
// shared "AppID" and "CLSID" keys.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <string>
#include <vector>

#include "registrar/update_registry.h"
#include "registry_text.h"
#include "script_module.h"
#include "script_run.h"
#include "server_keys.h"
#include "server_ids.h"

#ifndef _WIN32
#include "platform/host/registry_store.h"
#include "tests/platform/module_files.h"
#endif

namespace registrar_test {
namespace {

using registrar::ScriptVariable;
using registrar::UpdateRegistryFromScript;

const std::string kClsid = TERVAGON_CLSID_TEXT;
const std::string kAppid = TERVAGON_APPID_TEXT;
const std::string kLibid = TERVAGON_LIBID_TEXT;

// The text of a value line as registry_text writes it.
std::string Escaped(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out;
}

std::string Sz(const std::string& path, const std::string& name, const std::string& text) {
    return path + ": " + (name.empty() ? "@" : "\"" + name + "\"") + "=sz:\"" + Escaped(text) + "\"";
}

std::vector<std::string> AppIdLines(const std::string& appid) {
    return {"AppID", "AppID\\" + appid, Sz("AppID\\" + appid, "", "Tervagon"), "AppID\\Tervagon.DLL",
            Sz("AppID\\Tervagon.DLL", "AppID", appid)};
}

std::vector<std::string> ClassLines(const std::string& modulePath) {
    const std::string cls = "CLSID\\" + kClsid;
    const std::string v1 = "Tervagon.ControlInstaller.1";
    const std::string vi = "Tervagon.ControlInstaller";
    return {v1, Sz(v1, "", "ControlInstaller Class"), v1 + "\\CLSID", Sz(v1 + "\\CLSID", "", kClsid),
            vi, Sz(vi, "", "ControlInstaller Class"), vi + "\\CLSID", Sz(vi + "\\CLSID", "", kClsid),
            vi + "\\CurVer", Sz(vi + "\\CurVer", "", v1),
            "CLSID", cls, Sz(cls, "", "ControlInstaller Class"), Sz(cls, "AppID", kAppid),
            cls + "\\ProgID", Sz(cls + "\\ProgID", "", v1),
            cls + "\\VersionIndependentProgID", Sz(cls + "\\VersionIndependentProgID", "", vi),
            cls + "\\Programmable",
            cls + "\\InprocServer32", Sz(cls + "\\InprocServer32", "", modulePath),
            Sz(cls + "\\InprocServer32", "ThreadingModel", "Apartment"),
            cls + "\\TypeLib", Sz(cls + "\\TypeLib", "", kLibid)};
}

std::vector<std::string> Union(std::vector<std::string> a, const std::vector<std::string>& b) {
    std::set<std::string> all(a.begin(), a.end());
    all.insert(b.begin(), b.end());
    return {all.begin(), all.end()};
}

// Everything under HKEY_CLASSES_ROOT: thousands of keys on a Wine prefix, so
// only the tests about "nothing else" read it. In a 64-bit prefix the 32-bit
// view is stored under "Wow6432Node" and read back there a second time: for a
// 64-bit program only the keys under "AppID", which both views share; for a
// 32-bit program, whose view it is, all of it. One key seen twice is left out here.
std::vector<std::string> Classes() {
    std::vector<std::string> lines = ReadTree(HKEY_CLASSES_ROOT, "");
#ifdef _WIN64
    const std::string mirror = "wow6432node\\appid\\";
#else
    const std::string mirror = "wow6432node\\";
#endif
    std::erase_if(lines, [&](const std::string& line) {
        if (line.size() < mirror.size()) return false;
        for (size_t i = 0; i < mirror.size(); ++i)
            if (std::tolower(static_cast<unsigned char>(line[i])) != mirror[i]) return false;
        return true;
    });
    return lines;
}

// The whole tree before any test ran; every test leaves it so.
const std::vector<std::string>& Baseline() {
    static const std::vector<std::string> baseline = Classes();
    return baseline;
}

std::string DefaultValue(HKEY root, const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return "<no key>";
    char data[1024] = {};
    DWORD size = sizeof(data) - 1;
    DWORD type = 0;
    const LONG status = RegQueryValueExA(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_SZ) return "<no text>";
    return data;
}

std::string InprocServer() { return DefaultValue(HKEY_CLASSES_ROOT, "CLSID\\" + kClsid + "\\InprocServer32"); }

// A module path of exactly `length` bytes.
std::string PathOfLength(size_t length) {
    const std::string directory = ModuleDirectory() + "\\long\\" + std::string(150, 'd');
    return directory + "\\" + std::string(length - directory.size() - 1 - 4, 'f') + ".dll";
}

class ServerScriptTest : public ::testing::Test {
protected:
    void SetUp() override {
#ifndef _WIN32
        platform::registry_store::Reset();
        module_files::Reset();
#endif
        RemoveOurKeys();
        shared_ = OurEntries();
    }
    void TearDown() override { RemoveOurKeys(); }

    static HRESULT Register101(TestModule& module, bool doRegister) {
        const platform::WideString appid = Wide(kAppid);
        const ScriptVariable extra[] = {{OLESTR("APPID"), appid.c_str()}, {nullptr, nullptr}};
        return UpdateRegistryFromScript(module, 101, doRegister, extra);
    }

    std::vector<std::string> shared_;  // "AppID" and "CLSID" where they exist already
};

TEST_F(ServerScriptTest, BothScriptsRegisterExactlyTheirEntriesAndUnregisterCleanly) {
    const ScriptModuleFile file(ModuleDirectory() + "\\Tervagon.DLL");
    TestModule module(file.handle());

    const std::vector<std::string>& before = Baseline();
    ASSERT_EQ(HresultText(Register101(module, true)), HresultText(S_OK));
    EXPECT_TRUE(SameLines(Classes(), Union(before, AppIdLines(kAppid))));
    ASSERT_EQ(HresultText(UpdateRegistryFromScript(module, 102, true, nullptr)), HresultText(S_OK));
    EXPECT_TRUE(SameLines(Classes(), Union(before, Union(AppIdLines(kAppid), ClassLines(file.path())))));
    EXPECT_EQ(module.commonCalls, 2);

    ASSERT_EQ(HresultText(UpdateRegistryFromScript(module, 102, false, nullptr)), HresultText(S_OK));
    ASSERT_EQ(HresultText(Register101(module, false)), HresultText(S_OK));
    const std::vector<std::string> after = Classes();
    EXPECT_EQ(LinesAdded(after, before), std::vector<std::string>{}) << "entries that were there before are gone";
    for (const std::string& line : LinesAdded(before, after))
        EXPECT_TRUE(line == "AppID" || line == "CLSID") << "left behind: " << line;
}

TEST_F(ServerScriptTest, RegisteringTheClassTwiceLeavesTheSameTree) {
    const ScriptModuleFile file(ModuleDirectory() + "\\Tervagon.DLL");
    TestModule module(file.handle());
    // Something foreign inside the class key goes with the first re-registration.
    ASSERT_EQ(UpdateRegistryFromScript(module, 102, true, nullptr), S_OK);
    const std::vector<std::string> once = OurEntries();
    PutText(HKEY_CLASSES_ROOT, "CLSID\\" + kClsid + "\\Programmable\\Stale", "x", "y");
    ASSERT_EQ(UpdateRegistryFromScript(module, 102, true, nullptr), S_OK);
    EXPECT_EQ(OurEntries(), once);
    ASSERT_EQ(UpdateRegistryFromScript(module, 102, true, nullptr), S_OK);
    EXPECT_EQ(OurEntries(), once);
    EXPECT_EQ(once, Union(shared_, ClassLines(file.path())));
}

TEST_F(ServerScriptTest, ModulePathWithSingleQuotesIsRegisteredExactly) {
    const ScriptModuleFile file(ModuleDirectory() + "\\it's a 'quoted' dir\\Tervagon'.DLL");
    TestModule module(file.handle());
    ASSERT_EQ(HresultText(UpdateRegistryFromScript(module, 102, true, nullptr)), HresultText(S_OK));
    EXPECT_EQ(InprocServer(), file.path());
    EXPECT_EQ(OurEntries(), Union(shared_, ClassLines(file.path())));
    ASSERT_EQ(UpdateRegistryFromScript(module, 102, false, nullptr), S_OK);
}

TEST_F(ServerScriptTest, ModulePathOf259BytesRegisters) {
    const ScriptModuleFile file(PathOfLength(259));
    ASSERT_EQ(file.path().size(), 259u);
    TestModule module(file.handle());
    ASSERT_EQ(HresultText(UpdateRegistryFromScript(module, 102, true, nullptr)), HresultText(S_OK));
    EXPECT_EQ(InprocServer(), file.path());
}

TEST_F(ServerScriptTest, ModulePathOf260BytesFailsBeforeAnyChange) {
    const ScriptModuleFile file(PathOfLength(260));
    ASSERT_EQ(file.path().size(), 260u);
    TestModule module(file.handle());
    EXPECT_EQ(HresultText(UpdateRegistryFromScript(module, 102, true, nullptr)), "0x8007007A");
    EXPECT_EQ(HresultText(Register101(module, true)), "0x8007007A");
    EXPECT_TRUE(SameLines(Classes(), Baseline()));
}

TEST_F(ServerScriptTest, ResourceTheFileDoesNotHoldFailsWithTheLoaderCode) {
    const ScriptModuleFile file(ModuleDirectory() + "\\Tervagon.DLL");
    TestModule module(file.handle());
    EXPECT_EQ(HresultText(UpdateRegistryFromScript(module, 103, true, nullptr)),
              HresultText(platform::HresultFromWin32(ERROR_RESOURCE_NAME_NOT_FOUND)));
    // Only the low 16 bits of the number count: 0x10066 is 102.
    EXPECT_EQ(HresultText(UpdateRegistryFromScript(module, 0x10066, true, nullptr)), HresultText(S_OK));
    EXPECT_EQ(InprocServer(), file.path());
}

TEST_F(ServerScriptTest, FailingCommonVariablesEndTheRunBeforeTheScript) {
    const ScriptModuleFile file(ModuleDirectory() + "\\Tervagon.DLL");
    const HRESULT refusal = static_cast<HRESULT>(0x80041234);
    TestModule module(file.handle(), refusal);
    EXPECT_EQ(HresultText(Register101(module, true)), HresultText(refusal));
    EXPECT_EQ(HresultText(UpdateRegistryFromScript(module, 102, true, nullptr)), HresultText(refusal));
    EXPECT_EQ(module.commonCalls, 2);
    EXPECT_EQ(OurEntries(), shared_);
}

TEST_F(ServerScriptTest, CallersVariableAddedFirstWinsAndNullValuesAreSkipped) {
    const ScriptModuleFile file(ModuleDirectory() + "\\Tervagon.DLL");
    TestModule module(file.handle());
    const platform::WideString wideFirst = Wide(kOtherAppid);
    const ScriptVariable extra[] = {
        {OLESTR("Unused"), nullptr}, {OLESTR("appid"), wideFirst.c_str()}, {nullptr, nullptr}};
    ASSERT_EQ(HresultText(UpdateRegistryFromScript(module, 101, true, extra)), HresultText(S_OK));
    EXPECT_EQ(OurEntries(), Union(shared_, AppIdLines(kOtherAppid)));
    ASSERT_EQ(UpdateRegistryFromScript(module, 101, false, extra), S_OK);
    EXPECT_EQ(OurEntries(), Union(shared_, {"AppID"}));
}

TEST_F(ServerScriptTest, ScriptsOfTheProgramHaveTheirModuleInDoubleQuotes) {
    GiveTheProgramTheScripts();
    char program[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, program, MAX_PATH);
    ASSERT_GT(length, 0u);
    for (const HMODULE handle : {HMODULE{nullptr}, GetModuleHandleA(nullptr)}) {
        TestModule module(handle);
        ASSERT_EQ(HresultText(UpdateRegistryFromScript(module, 102, true, nullptr)), HresultText(S_OK));
        EXPECT_EQ(InprocServer(), "\"" + std::string(program, length) + "\"");
        ASSERT_EQ(UpdateRegistryFromScript(module, 102, false, nullptr), S_OK);
    }
}

}  // namespace
}  // namespace registrar_test
