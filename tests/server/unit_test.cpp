// The server's inner parts, linked into this program: what only the
// allocation seam or a module without its own type library can show.
#include <objidl.h>

#include <gtest/gtest.h>

#include "platform/allocation.h"
#include "server/class_factory.h"
#include "server/control_installer.h"
#include "server/entry_points.h"
#include "server/module.h"
#include "server/module_records.h"
#include "server/termination_list.h"
#include "server/type_library_registration.h"
#include "tests/server/server_support.h"
#include "tests/wine_path.h"

namespace server_tests {
namespace {

using platform::allocation_seam::FailNth;
using platform::allocation_seam::Pending;

class Disarm {
public:
    ~Disarm() { FailNth(0); }
};

std::vector<int> g_ran;
void Record(DWORD_PTR argument) { g_ran.push_back(static_cast<int>(argument)); }

server::TerminationList* g_list = nullptr;
void AddsAnother(DWORD_PTR argument) {
    g_ran.push_back(static_cast<int>(argument));
    g_list->Add(&Record, 99);
}

TEST(TerminationList, RunsTheMostRecentlyAddedFirstAndEmptiesTheList) {
    server::CriticalSection lock;
    server::TerminationList list(lock);
    g_list = &list;
    g_ran.clear();
    ASSERT_EQ(list.Add(&Record, 1), S_OK);
    ASSERT_EQ(list.Add(&AddsAnother, 2), S_OK);
    ASSERT_EQ(list.Add(&Record, 3), S_OK);
    {
        Disarm disarm;
        FailNth(1);
        EXPECT_EQ(list.Add(&Record, 4), E_OUTOFMEMORY);
    }
    list.Run();
    EXPECT_EQ(g_ran, (std::vector<int>{3, 2, 99, 1})) << "a callback added while running runs too";
    g_ran.clear();
    list.Run();
    EXPECT_TRUE(g_ran.empty());
}

class UnitTest : public ApartmentTest {
protected:
    void TearDown() override {
        FailNth(0);
        ApartmentTest::TearDown();
    }
};

TEST_F(UnitTest, AnObjectThatCannotBeAllocatedLeavesTheLockCountAlone) {
    platform::ComRef<IClassFactory> factory;
    ASSERT_EQ(server::GetClassObject(CLSID_ControlInstaller, IID_IClassFactory, factory.ReceiveVoid()), S_OK);
    const LONG locks = server::TheModule().LockCount();
    // The outer object is never called: the allocation fails first.
    IUnknown* outer = factory.Get();
    for (bool aggregated : {false, true}) {
        void* object = reinterpret_cast<void*>(1);
        FailNth(1);
        EXPECT_EQ(server::CreateControlInstaller(aggregated ? outer : nullptr, IID_IUnknown, &object),
                  E_OUTOFMEMORY);
        EXPECT_EQ(object, nullptr);
        EXPECT_EQ(Pending(), 0u);
        EXPECT_EQ(server::TheModule().LockCount(), locks);
    }
    // Without the failure the same call succeeds and locks the module once.
    platform::ComRef<IUnknown> made;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, made.ReceiveVoid()), S_OK);
    EXPECT_EQ(server::TheModule().LockCount(), locks + 1);
    made.Reset();
    EXPECT_EQ(server::TheModule().LockCount(), locks);
}

TEST_F(UnitTest, AClassObjectThatCannotBeAllocatedIsReportedAndNothingIsHandedOut) {
    void* object = reinterpret_cast<void*>(1);
    FailNth(1);
    EXPECT_EQ(server::CreateClassObject(&server::CreateControlInstaller, IID_IUnknown, &object), E_OUTOFMEMORY);
    EXPECT_EQ(object, nullptr);
    // Asked for an interface it doesn't have, the new class object is dropped.
    EXPECT_EQ(server::CreateClassObject(&server::CreateControlInstaller, IID_IDispatch, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    platform::ComRef<IClassFactory> built;
    ASSERT_EQ(server::CreateClassObject(&server::CreateControlInstaller, IID_IClassFactory, built.ReceiveVoid()), S_OK);
    EXPECT_EQ(built->AddRef(), 2u);
    EXPECT_EQ(built->Release(), 1u);
}

TEST_F(UnitTest, TheGlobalInterfaceTableIsCreatedOnceAndKept) {
    EXPECT_EQ(server::TheModule().GlobalInterfaceTable(nullptr), E_POINTER);
    platform::ComRef<IGlobalInterfaceTable> first;
    platform::ComRef<IGlobalInterfaceTable> second;
    ASSERT_EQ(server::TheModule().GlobalInterfaceTable(first.Receive()), S_OK);
    ASSERT_EQ(server::TheModule().GlobalInterfaceTable(second.Receive()), S_OK);
    EXPECT_EQ(first.Get(), second.Get());
}

std::wstring SideFilePath() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring side = path;
    side.replace(side.rfind(L'.'), std::wstring::npos, L".tlb");
    return side;
}

std::wstring FromUnix(const char* path) { return tests::WideWinePath(path); }

// This program carries no type library of its own: registration looks for
// the side file under the program's name. Only this test loads the type
// information in this process, so it can make the name cache fail.
TEST_F(UnitTest, TheTypeLibraryComesFromTheSideFileAndANameCacheFailureIsSurvived) {
    platform::ComRef<ITypeLib> already;
    if (SUCCEEDED(LoadRegTypeLib(LIBID_TervagonLib, 1, 0, LOCALE_NEUTRAL, already.Receive())))
        GTEST_SKIP() << "the type library is registered by something else in this prefix";
    const HMODULE self = server::TheComModule().TypeLibraryModule();
    ASSERT_EQ(self, GetModuleHandleW(nullptr));
    const std::wstring side = SideFilePath();
    DeleteFileW(side.c_str());
    EXPECT_TRUE(FAILED(server::RegisterServerTypeLibrary(self)));

    ASSERT_TRUE(CopyFileW(FromUnix(TERVAGON_TLB_PATH).c_str(), side.c_str(), FALSE));
    ASSERT_EQ(server::RegisterServerTypeLibrary(self), S_OK);
    platform::SystemString registeredPath;
    ASSERT_EQ(QueryPathOfRegTypeLib(LIBID_TervagonLib, 1, 0, LOCALE_NEUTRAL, registeredPath.Receive()), S_OK);
    EXPECT_EQ(_wcsicmp(registeredPath.Text().c_str(), side.c_str()), 0) << Narrow(registeredPath.Text());

    {
        platform::ComRef<IControlInstaller> object;
        ASSERT_EQ(server::CreateControlInstaller(nullptr, IID_IControlInstaller, object.ReceiveVoid()), S_OK);
        // The first allocation is the clean-up's node, the second the name cache.
        FailNth(2);
        LPOLESTR names[] = {const_cast<LPOLESTR>(L"getControlVersion")};
        DISPID id = 0;
        EXPECT_EQ(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK);
        EXPECT_EQ(id, 2);
        EXPECT_EQ(Pending(), 0u) << "the name cache was tried";
        id = 0;
        EXPECT_EQ(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK);
        EXPECT_EQ(id, 2);
    }

    EXPECT_EQ(server::UnregisterServerTypeLibrary(self), S_OK);
    EXPECT_TRUE(FAILED(LoadRegTypeLib(LIBID_TervagonLib, 1, 0, LOCALE_NEUTRAL, already.Receive())));
    DeleteFileW(side.c_str());
}

}  // namespace
}  // namespace server_tests
