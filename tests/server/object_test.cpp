// The ControlInstaller object as a client sees it: identity, refusals, the
// site, aggregation, and what keeps the DLL loaded.
#include <objsafe.h>
#include <ocidl.h>
#include <servprov.h>

#include <gtest/gtest.h>

#include "tests/server/server_support.h"
#include "tools/browser_standin/browser_standin.h"

namespace server_tests {
namespace {

using ObjectTest = ApartmentTest;

TEST_F(ObjectTest, IUnknownIDispatchAndIControlInstallerAreTheObjectsIdentity) {
    LoadedServer server;
    platform::ComRef<IControlInstaller> object = server.Create();
    ASSERT_TRUE(object);
    platform::ComRef<IUnknown> unknown;
    platform::ComRef<IDispatch> dispatch;
    platform::ComRef<IControlInstaller> again;
    platform::ComRef<IObjectWithSite> withSite;
    ASSERT_EQ(object->QueryInterface(IID_IUnknown, unknown.ReceiveVoid()), S_OK);
    ASSERT_EQ(object->QueryInterface(IID_IDispatch, dispatch.ReceiveVoid()), S_OK);
    ASSERT_EQ(object->QueryInterface(IID_IControlInstaller, again.ReceiveVoid()), S_OK);
    ASSERT_EQ(object->QueryInterface(IID_IObjectWithSite, withSite.ReceiveVoid()), S_OK);
    EXPECT_EQ(static_cast<void*>(unknown.Get()), static_cast<void*>(object.Get()));
    EXPECT_EQ(static_cast<void*>(dispatch.Get()), static_cast<void*>(object.Get()));
    EXPECT_EQ(static_cast<void*>(again.Get()), static_cast<void*>(object.Get()));
    EXPECT_NE(static_cast<void*>(withSite.Get()), static_cast<void*>(object.Get()));

    // The same identity when asked through the other interface.
    platform::ComRef<IUnknown> viaSite;
    ASSERT_EQ(withSite->QueryInterface(IID_IUnknown, viaSite.ReceiveVoid()), S_OK);
    EXPECT_EQ(viaSite.Get(), unknown.Get());
}

TEST_F(ObjectTest, RefusesEveryOtherInterfaceWithANullResult) {
    LoadedServer server;
    platform::ComRef<IControlInstaller> object = server.Create();
    ASSERT_TRUE(object);
    const IID refused[] = {IID_IObjectSafety, IID_IProvideClassInfo, IID_ISupportErrorInfo,
                           IID_IPersistStreamInit, IID_IPersistPropertyBag, IID_IClassFactory,
                           IID_IServiceProvider, IID_IMarshal};
    for (const IID& iid : refused) {
        void* result = reinterpret_cast<void*>(1);
        EXPECT_EQ(object->QueryInterface(iid, &result), E_NOINTERFACE) << Narrow(GuidText(iid));
        EXPECT_EQ(result, nullptr);
    }
    EXPECT_EQ(object->QueryInterface(IID_IDispatch, nullptr), E_POINTER);
}

TEST_F(ObjectTest, BothInterfacesCountOnTheOneObject) {
    LoadedServer server;
    auto [object, withSite] = server.CreateWithSite();
    ASSERT_TRUE(withSite);
    EXPECT_EQ(object->AddRef(), 3u);
    EXPECT_EQ(withSite->AddRef(), 4u);
    EXPECT_EQ(object->Release(), 3u);
    EXPECT_EQ(withSite->Release(), 2u);
}

TEST_F(ObjectTest, GetSiteAnswersFromTheSiteLastGiven) {
    LoadedServer server;
    auto [object, withSite] = server.CreateWithSite();
    ASSERT_TRUE(withSite);

    void* site = reinterpret_cast<void*>(1);
    EXPECT_EQ(withSite->GetSite(IID_IUnknown, &site), E_FAIL);
    EXPECT_EQ(site, nullptr);
    EXPECT_EQ(withSite->GetSite(IID_IUnknown, nullptr), E_POINTER);

    {
        platform::ComRef<standin::StandInSite> browser(
            standin::StandInSite::Create(standin::SiteKind::WebBrowser, L"https://support.talmoren.com/page"));
        ASSERT_EQ(withSite->SetSite(browser->AsUnknown()), S_OK);
        platform::ComRef<IServiceProvider> provider;
        ASSERT_EQ(withSite->GetSite(IID_IServiceProvider, provider.ReceiveVoid()), S_OK);
        EXPECT_EQ(static_cast<IServiceProvider*>(provider.Get()), static_cast<IServiceProvider*>(browser.Get()));
        // What the site itself refuses, GetSite refuses.
        void* refused = reinterpret_cast<void*>(1);
        EXPECT_EQ(withSite->GetSite(IID_IDispatch, &refused), E_NOINTERFACE);
        EXPECT_EQ(refused, nullptr);
    }
    // The object holds the site on its own.
    EXPECT_EQ(standin::LiveStandInObjects(), 1);
    ASSERT_EQ(withSite->SetSite(nullptr), S_OK);
    EXPECT_EQ(standin::LiveStandInObjects(), 0) << "a null site must release the old one";
    EXPECT_EQ(withSite->GetSite(IID_IUnknown, &site), E_FAIL);
    EXPECT_EQ(site, nullptr);
}

TEST_F(ObjectTest, ReleasingTheLastReferenceReleasesTheSiteAndUnlocksTheModule) {
    LoadedServer server;
    auto [object, withSite] = server.CreateWithSite();
    ASSERT_TRUE(withSite);
    platform::ComRef<standin::StandInSite> browser(
        standin::StandInSite::Create(standin::SiteKind::WebBrowser, L"https://support.talmoren.com/page"));
    ASSERT_EQ(withSite->SetSite(browser->AsUnknown()), S_OK);
    browser.Reset();
    // A call leaves a pending result behind for the destruction to free.
    platform::SystemString answer;
    EXPECT_EQ(object->getPackageVersion(answer.Receive()), S_OK);
    EXPECT_EQ(server.CanUnloadNow(), S_FALSE);
    withSite.Reset();
    EXPECT_EQ(standin::LiveStandInObjects(), 1);
    object.Reset();
    EXPECT_EQ(standin::LiveStandInObjects(), 0);
    EXPECT_EQ(server.CanUnloadNow(), S_OK);
}

TEST_F(ObjectTest, MethodsAnswerThroughTheVtable) {
    LoadedServer server;
    platform::ComRef<IControlInstaller> object = server.Create();
    ASSERT_TRUE(object);
    platform::SystemString guid(SysAllocString(L"{00000000-0000-0000-0000-000000000000}"));
    platform::SystemString version(SysAllocString(L"1.0.0.1"));
    // Without a hosting page every method gives the same refusal.
    platform::SystemString answer;
    EXPECT_EQ(object->isValidControl(guid.Get(), version.Get(), answer.Receive()), S_OK);
    EXPECT_EQ(answer.Text(), L"ERR InvalidDomain");
    EXPECT_EQ(object->getControlVersion(guid.Get(), answer.Receive()), S_OK);
    EXPECT_EQ(answer.Text(), L"ERR InvalidDomain");
    EXPECT_EQ(object->getPackageVersion(answer.Receive()), S_OK);
    EXPECT_EQ(answer.Text(), L"ERR InvalidDomain");

    // From the allowed domain the methods go past the domain check.
    const platform::ComRef<IObjectWithSite> withSite = SiteHolder(object.Get());
    ASSERT_TRUE(withSite);
    platform::ComRef<standin::StandInSite> browser(
        standin::StandInSite::Create(standin::SiteKind::WebBrowser, L"https://support.talmoren.com/page"));
    ASSERT_EQ(withSite->SetSite(browser->AsUnknown()), S_OK);
    EXPECT_EQ(object->getPackageVersion(answer.Receive()), S_OK);
    EXPECT_NE(answer.Text(), L"ERR InvalidDomain");
    EXPECT_FALSE(answer.Text().empty());
    EXPECT_GT(browser->LocationRequests(), 0);
    withSite->SetSite(nullptr);
}

// An outer object that aggregates ControlInstaller: it counts what reaches it
// and forwards the requests that it doesn't answer itself to the inner object.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class Outer final : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        ++queries;
        if (object == nullptr) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown)) {
            *object = static_cast<IUnknown*>(this);
            AddRef();
            return S_OK;
        }
        if (inner == nullptr) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        return inner->QueryInterface(iid, object);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++references); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--references); }

    LONG references = 1;
    int queries = 0;
    IUnknown* inner = nullptr;
};
#pragma GCC diagnostic pop

TEST_F(ObjectTest, AnAggregatedObjectPassesItsIUnknownCallsToTheOuterObject) {
    LoadedServer server;
    platform::ComRef<IClassFactory> factory = server.Factory();
    ASSERT_TRUE(factory);
    Outer outer;
    IUnknown* inner = nullptr;
    ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&inner)), S_OK);
    ASSERT_NE(inner, nullptr);
    outer.inner = inner;
    EXPECT_EQ(outer.references, 1) << "the inner object must not hold its outer object";

    // Interfaces handed out by the inner IUnknown count on the outer object.
    IControlInstaller* installer = nullptr;
    ASSERT_EQ(inner->QueryInterface(IID_IControlInstaller, reinterpret_cast<void**>(&installer)), S_OK);
    EXPECT_NE(static_cast<void*>(installer), static_cast<void*>(inner));
    EXPECT_EQ(outer.references, 2);
    installer->AddRef();
    EXPECT_EQ(outer.references, 3);
    installer->Release();
    EXPECT_EQ(outer.references, 2);

    // Their QueryInterface is the outer object's: IUnknown is the aggregate's identity.
    IUnknown* identity = nullptr;
    const int queriesBefore = outer.queries;
    ASSERT_EQ(installer->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
    EXPECT_EQ(identity, static_cast<IUnknown*>(&outer));
    EXPECT_EQ(outer.queries, queriesBefore + 1);
    identity->Release();

    // The inner IUnknown answers IUnknown with itself, and refuses the rest.
    IUnknown* innerAgain = nullptr;
    ASSERT_EQ(inner->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&innerAgain)), S_OK);
    EXPECT_EQ(innerAgain, inner);
    EXPECT_EQ(inner->Release(), 1u);
    void* refused = reinterpret_cast<void*>(1);
    EXPECT_EQ(inner->QueryInterface(IID_IObjectSafety, &refused), E_NOINTERFACE);
    EXPECT_EQ(refused, nullptr);

    // The aggregate's methods still work.
    platform::SystemString answer;
    EXPECT_EQ(installer->getPackageVersion(answer.Receive()), S_OK);
    EXPECT_EQ(answer.Text(), L"ERR InvalidDomain");

    installer->Release();
    EXPECT_EQ(outer.references, 1);
    factory.Reset();
    EXPECT_EQ(server.CanUnloadNow(), S_FALSE) << "the aggregate keeps the module locked";
    // The inner IUnknown's own last reference destroys the embedded object.
    EXPECT_EQ(inner->Release(), 0u);
    EXPECT_EQ(outer.references, 1);
    EXPECT_EQ(server.CanUnloadNow(), S_OK);
}

TEST_F(ObjectTest, AnOuterObjectMayAskForIUnknownOnly) {
    LoadedServer server;
    platform::ComRef<IClassFactory> factory = server.Factory();
    ASSERT_TRUE(factory);
    Outer outer;
    const IID refused[] = {IID_IDispatch, IID_IControlInstaller, IID_IObjectWithSite};
    for (const IID& iid : refused) {
        void* object = reinterpret_cast<void*>(1);
        EXPECT_EQ(factory->CreateInstance(&outer, iid, &object), CLASS_E_NOAGGREGATION);
        EXPECT_EQ(object, nullptr);
    }
    EXPECT_EQ(outer.references, 1);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, nullptr), E_POINTER);
    // A plain object asked for an interface it doesn't have is not kept.
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IObjectSafety, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    factory.Reset();
    EXPECT_EQ(server.CanUnloadNow(), S_OK);
}

}  // namespace
}  // namespace server_tests
