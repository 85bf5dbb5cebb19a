// The class object and what keeps the DLL loaded: objects, client references
// to the class object, LockServer and live proxies or stubs.
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tests/server/server_support.h"

namespace server_tests {
namespace {

using ModuleTest = ApartmentTest;

TEST_F(ModuleTest, DllGetClassObjectRefusals) {
    LoadedServer server;
    const CLSID unknown = {0x0badc0de, 0x1234, 0x5678, {1, 2, 3, 4, 5, 6, 7, 8}};
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(server.GetClassObject(unknown, IID_IClassFactory, &object), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(server.GetClassObject(CLSID_ControlInstaller, IID_IClassFactory, nullptr), E_POINTER);
    object = reinterpret_cast<void*>(1);
    EXPECT_EQ(server.GetClassObject(CLSID_ControlInstaller, IID_IDispatch, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(server.CanUnloadNow(), S_OK);
}

TEST_F(ModuleTest, TheClassObjectIsBuiltOnceAndAnswersIUnknownAndIClassFactoryOnly) {
    LoadedServer server;
    platform::ComRef<IClassFactory> first;
    platform::ComRef<IUnknown> second;
    ASSERT_EQ(server.GetClassObject(CLSID_ControlInstaller, IID_IClassFactory, first.ReceiveVoid()), S_OK);
    ASSERT_EQ(server.GetClassObject(CLSID_ControlInstaller, IID_IUnknown, second.ReceiveVoid()), S_OK);
    EXPECT_EQ(static_cast<IUnknown*>(first.Get()), second.Get());
    void* refused = reinterpret_cast<void*>(1);
    EXPECT_EQ(first->QueryInterface(IID_IControlInstaller, &refused), E_NOINTERFACE);
    EXPECT_EQ(refused, nullptr);
    EXPECT_EQ(first->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
}

// Each way of keeping the module loaded, taken and given back.
TEST_F(ModuleTest, DllCanUnloadNowFollowsWhatHoldsTheModule) {
    LoadedServer server;
    EXPECT_EQ(server.CanUnloadNow(), S_OK);

    {
        platform::ComRef<IClassFactory> factory = server.Factory();
        EXPECT_EQ(server.CanUnloadNow(), S_FALSE) << "a client reference to the class object";
        platform::ComRef<IClassFactory> another = server.Factory();
        another.Reset();
        EXPECT_EQ(server.CanUnloadNow(), S_FALSE);
    }
    EXPECT_EQ(server.CanUnloadNow(), S_OK) << "the map's own reference does not lock the module";

    {
        platform::ComRef<IClassFactory> factory = server.Factory();
        ASSERT_EQ(factory->LockServer(TRUE), S_OK);
        factory.Reset();
        EXPECT_EQ(server.CanUnloadNow(), S_FALSE) << "LockServer(TRUE)";
        factory = server.Factory();
        ASSERT_EQ(factory->LockServer(FALSE), S_OK);
    }
    EXPECT_EQ(server.CanUnloadNow(), S_OK);

    {
        platform::ComRef<IControlInstaller> object = server.Create();
        ASSERT_TRUE(object);
        EXPECT_EQ(server.CanUnloadNow(), S_FALSE) << "a live object, with no class object held";
    }
    EXPECT_EQ(server.CanUnloadNow(), S_OK);
}

TEST_F(ModuleTest, LiveProxyStubPartsKeepTheModuleLoaded) {
    LoadedServer server;
    // The proxy/stub class is named by the interface's identifier.
    platform::ComRef<IPSFactoryBuffer> proxyFactory;
    ASSERT_EQ(server.GetClassObject(IID_IControlInstaller, IID_IPSFactoryBuffer, proxyFactory.ReceiveVoid()), S_OK);
    EXPECT_EQ(server.CanUnloadNow(), S_FALSE) << "a held proxy/stub factory";

    platform::ComRef<IControlInstaller> object = server.Create();
    ASSERT_TRUE(object);
    platform::ComRef<IRpcStubBuffer> stub;
    ASSERT_EQ(proxyFactory->CreateStub(IID_IControlInstaller, object.Get(), stub.Receive()), S_OK);
    proxyFactory.Reset();
    object.Reset();
    // The stub holds the object, so the lock count is not 0 yet either; once
    // it lets go of the object, the stub alone still keeps the module.
    ASSERT_TRUE(stub);
    stub->Disconnect();
    EXPECT_EQ(server.CanUnloadNow(), S_FALSE) << "a live stub";
    stub.Reset();
    EXPECT_EQ(server.CanUnloadNow(), S_OK);
}

// Many threads take and give back class-object references and server locks
// at once; every 1-to-2 and 2-to-1 transition must lock and unlock the module
// exactly once, so the count ends balanced.
TEST_F(ModuleTest, ConcurrentClassObjectReferencesLeaveTheLockCountBalanced) {
    LoadedServer server;
    constexpr int kThreads = 8;
    constexpr int kRounds = 2000;
    std::vector<std::thread> threads;
    std::atomic<int> failures{0};
    for (int thread = 0; thread < kThreads; ++thread) {
        threads.emplace_back([&server, &failures] {
            for (int round = 0; round < kRounds; ++round) {
                IClassFactory* factory = nullptr;
                if (server.GetClassObject(CLSID_ControlInstaller, IID_IClassFactory,
                                          reinterpret_cast<void**>(&factory)) != S_OK) {
                    ++failures;
                    continue;
                }
                factory->AddRef();
                factory->LockServer(TRUE);
                factory->Release();
                factory->LockServer(FALSE);
                factory->Release();
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(server.CanUnloadNow(), S_OK);
    // Only the map's own reference is left: the next client reference is the
    // second one.
    platform::ComRef<IClassFactory> factory = server.Factory();
    ASSERT_TRUE(factory);
    EXPECT_EQ(factory->AddRef(), 3u);
    EXPECT_EQ(factory->Release(), 2u);
}

}  // namespace
}  // namespace server_tests
