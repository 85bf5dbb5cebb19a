// Running out of memory: every allocation of the registrar goes through the
// platform's seam, and each one that fails ends the run with E_OUTOFMEMORY,
// changes nothing and leaks nothing (the host build runs under the leak checker).
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/allocation.h"
#include "registrar/script_parser.h"
#include "registrar/script_registrar.h"
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

using platform::allocation_seam::FailNth;
using platform::allocation_seam::Pending;

struct Outcome {
    HRESULT status;
    bool failureInjected;
};

Outcome RunFailingAt(unsigned n, const std::function<HRESULT()>& run) {
    FailNth(n);
    const HRESULT status = run();
    const bool injected = Pending() == 0;
    FailNth(0);
    return {status, injected};
}

// Fails the 1st, 2nd, ... allocation of `run` until a run makes fewer
// allocations than the armed number; `check` sees every outcome.
unsigned FailEachAllocation(const std::function<HRESULT()>& run,
                            const std::function<void(unsigned, const Outcome&)>& check) {
    for (unsigned n = 1; n < 200; ++n) {
        const Outcome outcome = RunFailingAt(n, run);
        check(n, outcome);
        if (!outcome.failureInjected) return n - 1;
    }
    ADD_FAILURE() << "the run never ran out of allocations to fail";
    return 0;
}

class AllocationTest : public RegistryTest {};

TEST_F(AllocationTest, AddVariableLeavesTheTableAsItWas) {
    registrar::ScriptRegistrar owner;
    ASSERT_EQ(owner.AddVariable(OLESTR("First"), OLESTR("1")), S_OK);
    const unsigned allocations = FailEachAllocation(
        [&] { return owner.AddVariable(OLESTR("Second"), OLESTR("2")); },
        [&](unsigned n, const Outcome& outcome) {
            if (!outcome.failureInjected) return;
            EXPECT_EQ(outcome.status, E_OUTOFMEMORY) << n;
            EXPECT_EQ(owner.VariableCount(), 1) << n;
            EXPECT_EQ(owner.FindVariable("Second"), nullptr) << n;
        });
    EXPECT_EQ(allocations, 4u);  // the two copies and the growth of both arrays
    EXPECT_EQ(owner.VariableCount(), 2);
    EXPECT_EQ(platform::WideString(owner.FindVariable("second")), OLESTR("2"));
    EXPECT_EQ(owner.AddVariable(nullptr, OLESTR("x")), E_INVALIDARG);
    EXPECT_EQ(owner.AddVariable(OLESTR("x"), nullptr), E_INVALIDARG);
    EXPECT_EQ(owner.ClearVariables(), S_OK);
    EXPECT_EQ(owner.VariableCount(), 0);
}

TEST(RegistrarObject, HandsOutNoInterfacesAndCountsNothing) {
    registrar::ScriptRegistrar owner;
    registrar::IScriptRegistrar& asInterface = owner;
    const IID unknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
    void* object = &owner;
    EXPECT_EQ(asInterface.QueryInterface(unknown, &object), E_NOTIMPL);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(asInterface.QueryInterface(unknown, nullptr), E_POINTER);
    EXPECT_EQ(asInterface.AddRef(), 1u);
    EXPECT_EQ(asInterface.Release(), 0u);
    EXPECT_EQ(asInterface.Release(), 0u);  // still alive: it lives on its owner's stack
    EXPECT_EQ(asInterface.AddVariable(OLESTR("Name"), OLESTR("value")), S_OK);
    EXPECT_EQ(platform::WideString(owner.FindVariable("NAME")), OLESTR("value"));
}

TEST_F(AllocationTest, ScriptRunChangesNothingWhenExpansionRunsOut) {
    registrar::ScriptRegistrar owner;
    ASSERT_EQ(owner.AddVariable(OLESTR("Big"), Wide(std::string(3000, 'b')).c_str()), S_OK);
    // Long enough that the expansion buffer has to grow twice.
    const std::string text = InTestKey("Big = s '%Big%' { val again = s '%Big%' }");
    const unsigned allocations = FailEachAllocation(
        [&] { return registrar::ScriptParser(owner).RunScript(text.c_str(), true); },
        [&](unsigned n, const Outcome& outcome) {
            if (!outcome.failureInjected) return;
            EXPECT_EQ(outcome.status, E_OUTOFMEMORY) << n;
            EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kTestKey)) << n;
        });
    EXPECT_EQ(allocations, 3u);  // the buffer and its two growths
    EXPECT_EQ(TestTree().size(), 3u);
}

class ServerAllocationTest : public ::testing::Test {
protected:
    void SetUp() override {
#ifndef _WIN32
        platform::registry_store::Reset();
        module_files::Reset();
#endif
        RemoveOurKeys();
        before_ = OurEntries();
    }
    void TearDown() override { RemoveOurKeys(); }
    std::vector<std::string> before_;
};

TEST_F(ServerAllocationTest, ClassScriptFailsWithOutOfMemoryAtEveryAllocation) {
    const ScriptModuleFile file(ModuleDirectory() + "\\Tervagon.DLL");
    TestModule module(file.handle());
    const unsigned allocations = FailEachAllocation(
        [&] { return registrar::UpdateRegistryFromScript(module, 102, true, nullptr); },
        [&](unsigned n, const Outcome& outcome) {
            if (!outcome.failureInjected) {
                EXPECT_EQ(outcome.status, S_OK);
                return;
            }
            EXPECT_EQ(HresultText(outcome.status), HresultText(E_OUTOFMEMORY)) << n;
            EXPECT_EQ(OurEntries(), before_) << n;
        });
    // Three variables of four allocations each, and the expansion buffer.
    EXPECT_EQ(allocations, 13u);
    ASSERT_EQ(registrar::UpdateRegistryFromScript(module, 102, false, nullptr), S_OK);
}

TEST_F(ServerAllocationTest, CallersVariablesThatRunOutAreLeftOutSilently) {
    const ScriptModuleFile file(ModuleDirectory() + "\\Tervagon.DLL");
    TestModule module(file.handle());
    const platform::WideString appid = Wide(TERVAGON_APPID_TEXT);
    const registrar::ScriptVariable extra[] = {{OLESTR("APPID"), appid.c_str()}, {nullptr, nullptr}};
    // The shared "AppID" key stays once a registration has made it.
    std::vector<std::string> unchanged = before_;
    FailEachAllocation(
        [&] { return registrar::UpdateRegistryFromScript(module, 101, true, extra); },
        [&](unsigned n, const Outcome& outcome) {
            if (outcome.failureInjected && n > 4) {
                EXPECT_EQ(HresultText(outcome.status), HresultText(E_OUTOFMEMORY)) << n;
                EXPECT_EQ(OurEntries(), unchanged) << n;
                return;
            }
            // The caller's pair is lost; the module's own "APPID" stands in for it.
            EXPECT_EQ(outcome.status, S_OK) << n;
            EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, std::string("AppID\\") + TERVAGON_APPID_TEXT)) << n;
            ASSERT_EQ(registrar::UpdateRegistryFromScript(module, 101, false, extra), S_OK);
            unchanged = OurEntries();
        });
}

}  // namespace
}  // namespace registrar_test
