// IDispatch of ControlInstaller, served from the registered type library.
#include <ocidl.h>

#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/com_apartment.h"
#include "platform/owned_exception_info.h"
#include "platform/owned_variant.h"
#include "tests/server/server_support.h"
#include "tools/browser_standin/browser_standin.h"

namespace server_tests {
namespace {

class DispatchTest : public ApartmentTest {
protected:
    void SetUp() override {
        ApartmentTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_EQ(typeLibrary_.emplace().Status(), S_OK);
    }
    void TearDown() override {
        typeLibrary_.reset();
        ApartmentTest::TearDown();
    }

    static platform::ComRef<IDispatch> Dispatch(const LoadedServer& server) {
        platform::ComRef<IControlInstaller> object = server.Create();
        platform::ComRef<IDispatch> dispatch;
        if (object) {
            EXPECT_EQ(object->QueryInterface(IID_IDispatch, dispatch.ReceiveVoid()), S_OK);
        }
        return dispatch;
    }

    // Calls a method by DISPID as page script does: the arguments (given in
    // the method's order) go in reverse order. Its answer, or what went wrong.
    static std::wstring Invoked(IDispatch* dispatch, DISPID id, const std::vector<BSTR>& inOrder) {
        std::vector<VARIANTARG> arguments(inOrder.size());
        for (size_t index = 0; index < inOrder.size(); ++index) {
            VARIANTARG& argument = arguments[inOrder.size() - 1 - index];
            VariantInit(&argument);
            argument.vt = VT_BSTR;
            argument.bstrVal = inOrder[index];
        }
        DISPPARAMS parameters = {arguments.data(), nullptr, static_cast<UINT>(arguments.size()), 0};
        platform::OwnedVariant result;
        platform::OwnedExceptionInfo exception;
        UINT argumentError = 0;
        const HRESULT status = dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &parameters,
                                                &result, &exception, &argumentError);
        if (status != S_OK) return L"(Invoke failed)";
        if (result.vt != VT_BSTR) return L"(no string)";
        return std::wstring(result.bstrVal, SysStringLen(result.bstrVal));
    }

    static HRESULT IdOf(IDispatch* dispatch, const wchar_t* name, DISPID* id) {
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        return dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, id);
    }

private:
    std::optional<RegisteredTypeLibrary> typeLibrary_;
};

TEST_F(DispatchTest, OneTypeInformationWhateverTheIndex) {
    LoadedServer server;
    platform::ComRef<IDispatch> dispatch = Dispatch(server);
    ASSERT_TRUE(dispatch);
    UINT count = 0;
    EXPECT_EQ(dispatch->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(dispatch->GetTypeInfoCount(nullptr), E_POINTER);

    platform::ComRef<ITypeInfo> first;
    platform::ComRef<ITypeInfo> seventh;
    ASSERT_EQ(dispatch->GetTypeInfo(0, LOCALE_USER_DEFAULT, first.Receive()), S_OK);
    ASSERT_EQ(dispatch->GetTypeInfo(7, LOCALE_USER_DEFAULT, seventh.Receive()), S_OK);
    EXPECT_EQ(first.Get(), seventh.Get());
    EXPECT_EQ(dispatch->GetTypeInfo(0, LOCALE_USER_DEFAULT, nullptr), E_POINTER);

    TYPEATTR* attributes = nullptr;
    ASSERT_EQ(first->GetTypeAttr(&attributes), S_OK);
    EXPECT_TRUE(IsEqualIID(attributes->guid, IID_IControlInstaller));
    first->ReleaseTypeAttr(attributes);
    // The richer form of the type information is the one kept.
    platform::ComRef<ITypeInfo2> richer;
    EXPECT_EQ(first->QueryInterface(IID_ITypeInfo2, richer.ReceiveVoid()), S_OK);
}

TEST_F(DispatchTest, NamesResolveExactlyFromTheCacheAndOtherwiseThroughTheTypeInformation) {
    LoadedServer server;
    platform::ComRef<IDispatch> dispatch = Dispatch(server);
    ASSERT_TRUE(dispatch);
    struct Case { const wchar_t* name; HRESULT status; DISPID id; };
    const Case cases[] = {
        {L"isValidControl", S_OK, 1},
        {L"getControlVersion", S_OK, 2},
        {L"getPackageVersion", S_OK, 3},
        {L"ISVALIDCONTROL", S_OK, 1},     // another letter case: the type information
        {L"GetPackageVersion", S_OK, 3},
        {L"isValidControlX", DISP_E_UNKNOWNNAME, DISPID_UNKNOWN},
        {L"isValidContro", DISP_E_UNKNOWNNAME, DISPID_UNKNOWN},
        {L"", DISP_E_UNKNOWNNAME, DISPID_UNKNOWN},
    };
    // Twice: the first round builds the name cache, the second answers from it.
    for (int round = 0; round < 2; ++round) {
        for (const Case& c : cases) {
            DISPID id = 12345;
            EXPECT_EQ(IdOf(dispatch.Get(), c.name, &id), c.status) << Narrow(c.name);
            if (c.status == S_OK) {
                EXPECT_EQ(id, c.id) << Narrow(c.name);
            }
        }
    }
    // Several names at once go to the type information, which also knows the
    // parameters' names.
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"isValidControl"), const_cast<LPOLESTR>(L"inBstrVersion"),
                        const_cast<LPOLESTR>(L"inBstrGuid")};
    DISPID ids[3] = {};
    ASSERT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 3, LOCALE_USER_DEFAULT, ids), S_OK);
    EXPECT_EQ(ids[0], 1);
    EXPECT_EQ(ids[1], 1);
    EXPECT_EQ(ids[2], 0);
}

// Calls by DISPID as page script makes them: arguments in reverse order.
TEST_F(DispatchTest, InvokeCallsTheMethodsWithTheirArguments) {
    LoadedServer server;
    platform::ComRef<IDispatch> dispatch = Dispatch(server);
    ASSERT_TRUE(dispatch);
    platform::ComRef<IControlInstaller> vtable;
    ASSERT_EQ(dispatch->QueryInterface(IID_IControlInstaller, vtable.ReceiveVoid()), S_OK);
    const platform::ComRef<IObjectWithSite> withSite = SiteHolder(dispatch.Get());
    ASSERT_TRUE(withSite);
    platform::ComRef<standin::StandInSite> browser(
        standin::StandInSite::Create(standin::SiteKind::WebBrowser, L"https://support.talmoren.com/page"));
    ASSERT_EQ(withSite->SetSite(browser->AsUnknown()), S_OK);

    platform::SystemString guid(SysAllocString(L"not a class identifier"));
    platform::SystemString version(SysAllocString(L"1.0.0.1"));
    platform::SystemString expectedValid, expectedVersion, expectedPackage;
    ASSERT_EQ(vtable->isValidControl(guid.Get(), version.Get(), expectedValid.Receive()), S_OK);
    ASSERT_EQ(vtable->getControlVersion(guid.Get(), expectedVersion.Receive()), S_OK);
    ASSERT_EQ(vtable->getPackageVersion(expectedPackage.Receive()), S_OK);

    struct Call {
        DISPID id;
        std::vector<BSTR> arguments;  // in the method's order
        const platform::SystemString* expected;
    };
    const Call calls[] = {
        {1, {guid.Get(), version.Get()}, &expectedValid},
        {2, {guid.Get()}, &expectedVersion},
        {3, {}, &expectedPackage},
    };
    for (const Call& call : calls) {
        EXPECT_EQ(Invoked(dispatch.Get(), call.id, call.arguments), call.expected->Text()) << "DISPID " << call.id;
    }
    // A wrong argument count is the type information's to refuse.
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    platform::OwnedVariant unanswered;
    EXPECT_EQ(dispatch->Invoke(1, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, &unanswered, nullptr, nullptr),
              DISP_E_BADPARAMCOUNT);
    withSite->SetSite(nullptr);
}

// Script and native callers get the same verdict on the page that holds the
// object: the top-level page and the frame the object is on must both be
// pages of the domain.
TEST_F(DispatchTest, BothCallingRoadsJudgeTheFrameThatHoldsTheObject) {
    LoadedServer server;
    platform::ComRef<IDispatch> dispatch = Dispatch(server);
    ASSERT_TRUE(dispatch);
    platform::ComRef<IControlInstaller> vtable;
    ASSERT_EQ(dispatch->QueryInterface(IID_IControlInstaller, vtable.ReceiveVoid()), S_OK);
    const platform::ComRef<IObjectWithSite> withSite = SiteHolder(dispatch.Get());
    ASSERT_TRUE(withSite);
    platform::SystemString guid(SysAllocString(L"{00000000-0000-0000-0000-000000000000}"));
    platform::SystemString version(SysAllocString(L"1.0.0.1"));

    struct Holding { const wchar_t* page; const wchar_t* frame; bool allowed; const char* reason; };
    const Holding holdings[] = {
        {L"https://support.talmoren.com/checkup/", L"https://ads.example.net/banner.html", false,
         "a foreign frame in our page"},
        {L"https://evil.example/framing.html", L"https://support.talmoren.com/checkup/", false,
         "our frame in a foreign page"},
        {L"https://support.talmoren.com/checkup/", L"https://help.talmoren.com/frame.html", true,
         "our frame in our page"},
    };
    for (const Holding& h : holdings) {
        platform::ComRef<standin::StandInSite> site(standin::StandInSite::Create(standin::SiteKind::WebBrowser, h.page));
        site->SetFrameLocation(h.frame);
        ASSERT_EQ(withSite->SetSite(site->AsUnknown()), S_OK);
        platform::SystemString byVtable[3];
        ASSERT_EQ(vtable->isValidControl(guid.Get(), version.Get(), byVtable[0].Receive()), S_OK);
        ASSERT_EQ(vtable->getControlVersion(guid.Get(), byVtable[1].Receive()), S_OK);
        ASSERT_EQ(vtable->getPackageVersion(byVtable[2].Receive()), S_OK);
        const std::wstring byScript[3] = {Invoked(dispatch.Get(), 1, {guid.Get(), version.Get()}),
                                          Invoked(dispatch.Get(), 2, {guid.Get()}), Invoked(dispatch.Get(), 3, {})};
        for (int method = 0; method < 3; ++method) {
            SCOPED_TRACE(std::string(h.reason) + ", DISPID " + std::to_string(method + 1));
            EXPECT_EQ(byVtable[method].Text() == L"ERR InvalidDomain", !h.allowed) << Narrow(byVtable[method].Text());
            EXPECT_EQ(byScript[method], byVtable[method].Text());
        }
        // Each call on either road asked afresh.
        if (h.allowed) {
            EXPECT_EQ(site->DocumentRequests(), 6) << h.reason;
        }
    }
    withSite->SetSite(nullptr);
}

// Without the type library registered, IDispatch reports the loading failure
// and caches nothing: once it is registered, the next call succeeds. The
// vtable works all along.
TEST(DispatchWithoutTypeLibrary, ReportsTheLoadingFailureAndTriesAgainLater) {
    const platform::ComApartment apartment;
    ASSERT_TRUE(SUCCEEDED(apartment.Status()));
    platform::ComRef<ITypeLib> registered;
    if (SUCCEEDED(LoadRegTypeLib(LIBID_TervagonLib, 1, 0, LOCALE_NEUTRAL, registered.Receive()))) {
        GTEST_SKIP() << "the type library is registered by something else in this prefix";
    }
    LoadedServer server;
    platform::ComRef<IControlInstaller> object = server.Create();
    ASSERT_TRUE(object);
    platform::ComRef<ITypeInfo> info;
    const HRESULT notRegistered = object->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.Receive());
    EXPECT_TRUE(FAILED(notRegistered));
    EXPECT_FALSE(info);
    DISPID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"isValidControl")};
    EXPECT_EQ(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), notRegistered);
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    EXPECT_EQ(object->Invoke(3, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr),
              notRegistered);
    platform::SystemString answer;
    EXPECT_EQ(object->getPackageVersion(answer.Receive()), S_OK);
    EXPECT_EQ(answer.Text(), L"ERR InvalidDomain");

    RegisteredTypeLibrary typeLibrary;
    ASSERT_EQ(typeLibrary.Status(), S_OK);
    EXPECT_EQ(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK);
    EXPECT_EQ(id, 1);
}

}  // namespace
}  // namespace server_tests
