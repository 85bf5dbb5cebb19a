// Registry and module failures that a real registry can't be made to give on
// demand, injected into the in-memory stand-in: every registry code reaches
// the caller as HRESULT_FROM_WIN32 of it, and a register walk that fails is
// taken back.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/allocation.h"
#include "platform/conversion.h"
#include "platform/host/registry_store.h"
#include "registrar/script_registrar.h"
#include "registrar/update_registry.h"
#include "registry_text.h"
#include "script_module.h"
#include "script_run.h"
#include "tests/platform/module_files.h"
#include "tests/platform/registry_failures.h"

namespace registrar_test {
namespace {

using platform::HresultFromWin32;
using registry_failures::FailNth;
using Operation = platform::registry_store::Operation;

constexpr LONG kRefused = 1234;  // a code no registry call gives by itself

struct InjectedCase {
    const char* name;
    std::vector<SeedEntry> seed;
    std::string body;
    bool doRegister;
    Operation operation;
    unsigned nth;  // counted from the start of the run
    LONG code;
    HRESULT status;
    std::vector<std::string> tree;
};

class InjectedFailureTest : public RegistryTest, public ::testing::WithParamInterface<InjectedCase> {};

TEST_P(InjectedFailureTest, EndsTheWalkWithTheCode) {
    const InjectedCase& c = GetParam();
    Seed(c.seed);
    FailNth(c.operation, c.nth, c.code);
    const HRESULT status = RunText(InTestKey(c.body), c.doRegister);
    FailNth(c.operation, 0, 0);
    EXPECT_EQ(HresultText(status), HresultText(c.status));
    EXPECT_TRUE(SameLines(TestTree(), Sorted(c.tree)));
    // A handle whose close was refused stays open in the store: drop it.
    if (c.operation == Operation::Close) platform::registry_store::Reset();
}

const InjectedCase kInjectedCases[] = {
    // Register mode: the test key is opened first (one open), then each key
    // clause tries read-write, then read-only, then creates.
    {"CreationFailsAndTheBlockIsTakenBack", {}, "A { val v = s x } B", true, Operation::Create, 3, kRefused,
     HresultFromWin32(kRefused), {}},
    {"ValueWriteFailsAndTheBlockIsTakenBack", {{"Old", nullptr, ""}}, "A = s x B { val v = s y }", true,
     Operation::SetValue, 2, kRefused, HresultFromWin32(kRefused), {"Old"}},
    {"KeyOpenedOnlyForReadingFailsAtItsFirstWrite", {{"A", "v", "old"}}, "A { val v = s new }", true,
     Operation::Open, 2, ERROR_ACCESS_DENIED, HresultFromWin32(ERROR_ACCESS_DENIED), {}},
    {"KeyOpenedOnlyForReadingWithoutValuesIsFine", {{"A\\B", nullptr, ""}}, "A { B }", true, Operation::Open, 2,
     ERROR_ACCESS_DENIED, S_OK, {"A", "A\\B"}},
    {"ForceRemoveThatCannotDeleteGoesOn", {{"A\\Old", nullptr, ""}}, "ForceRemove A { New }", true,
     Operation::DeleteKey, 1, kRefused, S_OK, {"A", "A\\New", "A\\Old"}},
    {"DeleteThatCannotListSubkeysGoesOn", {{"A\\Old", nullptr, ""}}, "Delete A", true, Operation::EnumKey, 1,
     kRefused, S_OK, {"A", "A\\Old"}},
    // Unregister mode.
    {"KeyThatCannotBeOpenedStopsAfterItsBlock", {{"A", nullptr, ""}, {"B\\C", nullptr, ""}, {"D", nullptr, ""}},
     "A B { C } D", false, Operation::Open, 3, ERROR_ACCESS_DENIED, HresultFromWin32(ERROR_ACCESS_DENIED),
     {"B", "B\\C", "D"}},
    {"KeyThatCannotBeClosed", {{"A", nullptr, ""}}, "A", false, Operation::Close, 1, kRefused,
     HresultFromWin32(kRefused), {"A"}},
    {"KeyThatCannotBeDeleted", {{"A", nullptr, ""}, {"B", nullptr, ""}}, "A B", false, Operation::DeleteKey, 1,
     kRefused, HresultFromWin32(kRefused), {"A", "B"}},
    {"KeyThatCannotBeReopenedForItsValue", {{"A", "v", "1"}}, "NoRemove A { val v = s x }", false,
     Operation::Open, 3, ERROR_ACCESS_DENIED, HresultFromWin32(ERROR_ACCESS_DENIED), {"A", "A: \"v\"=sz:\"1\""}},
    {"ValueThatCannotBeDeleted", {{"A", "v", "1"}}, "NoRemove A { val v = s x }", false,
     Operation::DeleteValue, 1, kRefused, HresultFromWin32(kRefused), {"A", "A: \"v\"=sz:\"1\""}},
    {"AbsentValueIsNoFailure", {{"A", "v", "1"}}, "NoRemove A { val v = s x }", false, Operation::DeleteValue,
     1, ERROR_FILE_NOT_FOUND, S_OK, {"A", "A: \"v\"=sz:\"1\""}},
};

INSTANTIATE_TEST_SUITE_P(Injected, InjectedFailureTest, ::testing::ValuesIn(kInjectedCases),
                         [](const auto& instance) { return std::string(instance.param.name); });

// ---- resources, module paths and the variables made from them -------------------

class ModuleFileTest : public RegistryTest {
protected:
    void SetUp() override {
        RegistryTest::SetUp();
        module_files::Reset();
    }
    void TearDown() override {
        EXPECT_EQ(module_files::LoadedModules(), 0u) << "a module file was left open";
        RegistryTest::TearDown();
    }

    // A module file whose REGISTRY 200 writes the two path variables.
    static HMODULE PutEchoModule(const std::string& path) {
        module_files::PutFile(
            path, {{"REGISTRY", 200, InTestKey("val module = s '%MODULE%' val raw = s '%Module_Raw%'")}});
        return module_files::AttachModule(path);
    }
};

TEST_F(ModuleFileTest, ModuleVariablesHoldThePathWithItsQuotesDoubled) {
    const std::string path = "C:\\it's\\Tervagon.DLL";
    TestModule module(PutEchoModule(path));
    ASSERT_EQ(registrar::UpdateRegistryFromScript(module, 200, true, nullptr), S_OK);
    // Read back through a quoted token, the doubled quotes are single again.
    EXPECT_TRUE(SameLines(TestTree(), {": \"module\"=sz:\"C:\\\\it's\\\\Tervagon.DLL\"",
                                       ": \"raw\"=sz:\"C:\\\\it's\\\\Tervagon.DLL\""}));
}

TEST_F(ModuleFileTest, TheProgramsPathIsWrappedInModuleOnly) {
    char program[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, program, MAX_PATH);
    PutEchoModule(std::string(program, length));
    TestModule module(nullptr);
    ASSERT_EQ(registrar::UpdateRegistryFromScript(module, 200, true, nullptr), S_OK);
    EXPECT_TRUE(SameLines(TestTree(), {": \"module\"=sz:\"\\\"C:\\\\tervagon\\\\host.exe\\\"\"",
                                       ": \"raw\"=sz:\"C:\\\\tervagon\\\\host.exe\""}));
}

TEST_F(ModuleFileTest, LargeScriptIsCopiedToTheHeapAndReleased) {
    std::string body;
    for (int i = 0; i < 100; ++i) body += "K" + std::to_string(i) + " = s '%APPID%'\r\n";
    module_files::PutFile("C:\\big.dll", {{"REGISTRY", 7, InTestKey(body)}});
    registrar::ScriptRegistrar owner;
    ASSERT_EQ(owner.AddVariable(OLESTR("APPID"), OLESTR("{x}")), S_OK);
    // The copy is the first allocation of the run, the expansion buffer the second.
    for (unsigned n : {1u, 2u}) {
        platform::allocation_seam::FailNth(n);
        EXPECT_EQ(owner.RegisterScriptResource(OLESTR("C:\\big.dll"), 7, OLESTR("REGISTRY")), E_OUTOFMEMORY) << n;
        EXPECT_EQ(platform::allocation_seam::Pending(), 0u) << n;
        platform::allocation_seam::FailNth(0);
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kTestKey));
    }
    ASSERT_EQ(owner.RegisterScriptResource(OLESTR("C:\\big.dll"), 7, OLESTR("REGISTRY")), S_OK);
    EXPECT_EQ(TestTree().size(), 200u);
    ASSERT_EQ(owner.UnregisterScriptResource(OLESTR("C:\\big.dll"), 7, OLESTR("REGISTRY")), S_OK);
    EXPECT_EQ(TestTree().size(), 0u);
}

TEST_F(ModuleFileTest, ResourceFailuresGiveTheLoadersCodes) {
    module_files::PutFile("C:\\m.dll", {{"REGISTRY", 1, "HKCU { x }"}});
    registrar::ScriptRegistrar owner;
    EXPECT_EQ(HresultText(owner.RegisterScriptResource(OLESTR("C:\\absent.dll"), 1, OLESTR("REGISTRY"))),
              HresultText(HresultFromWin32(ERROR_FILE_NOT_FOUND)));
    EXPECT_EQ(HresultText(owner.RegisterScriptResource(OLESTR("C:\\m.dll"), 2, OLESTR("REGISTRY"))),
              HresultText(HresultFromWin32(ERROR_RESOURCE_NAME_NOT_FOUND)));
    EXPECT_EQ(HresultText(owner.RegisterScriptResource(OLESTR("C:\\m.dll"), 1, OLESTR("TYPELIB"))),
              HresultText(HresultFromWin32(ERROR_RESOURCE_TYPE_NOT_FOUND)));
    EXPECT_EQ(owner.RegisterScriptResource(OLESTR("C:\\m.dll"), 1, nullptr), E_OUTOFMEMORY);
    EXPECT_EQ(owner.RegisterScriptResource(nullptr, 1, OLESTR("REGISTRY")), E_OUTOFMEMORY);
    EXPECT_EQ(owner.RunScriptResource(nullptr, MAKEINTRESOURCEA(1), "REGISTRY", true), E_OUTOFMEMORY);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "x"));
}

TEST_F(ModuleFileTest, ModuleWithoutAPathFailsWithTheLastError) {
    // A handle the loader doesn't know: no path, and a failure, never success.
    TestModule module(reinterpret_cast<HMODULE>(0x5000));
    const HRESULT status = registrar::UpdateRegistryFromScript(module, 102, true, nullptr);
    EXPECT_TRUE(FAILED(status)) << HresultText(status);
    EXPECT_EQ(module.commonCalls, 1);
}

}  // namespace
}  // namespace registrar_test
