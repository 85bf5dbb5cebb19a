// Self-registration through the platform's registration tool, and a client
// that then creates the object by ProgID and calls it as page script and
// native code do.
#include <ocidl.h>

#include <gtest/gtest.h>

#include "platform/owned_variant.h"
#include "platform/registry_key.h"
#include "tests/server/server_support.h"
#include "tools/browser_standin/browser_standin.h"

namespace server_tests {
namespace {

const wchar_t kAllowedPage[] = L"https://support.talmoren.com/page";
// The DLL's own file version (the project's, from the build), and a text that differs from it.
const wchar_t kDllVersion[] = L"" TERVAGON_VERSION_TEXT;
const wchar_t kOtherVersion[] = L"" TERVAGON_VERSION_TEXT "0";

std::wstring Quoted(const std::wstring& path) { return L"\"" + path + L"\""; }

int Regsvr32(const std::wstring& options) {
    return RunProgram(L"regsvr32.exe " + options + L" " + Quoted(ShippedDllPath()));
}

// The keys that registration touches, and the number of entries under the
// shared keys that it must leave in place.
std::vector<std::wstring> Snapshot() {
    std::vector<std::wstring> lines;
    const std::wstring keys[] = {
        L"Tervagon.ControlInstaller",
        L"Tervagon.ControlInstaller.1",
        L"CLSID\\" + ClassIdText(),
        L"CLSID\\" + InterfaceIdText(),
        L"AppID\\" + AppIdText(),
        L"AppID\\Tervagon.DLL",
        L"TypeLib\\" + LibraryIdText(),
        L"Interface\\" + InterfaceIdText(),
    };
    for (const std::wstring& key : keys) {
        for (std::wstring& line : DumpKey(HKEY_CLASSES_ROOT, key)) lines.push_back(std::move(line));
    }
    for (const wchar_t* shared : {L"", L"CLSID", L"AppID", L"Interface", L"TypeLib"}) {
        lines.push_back(std::wstring(L"subkeys of '") + shared + L"': " +
                        std::to_wstring(SubkeyCount(HKEY_CLASSES_ROOT, shared)));
    }
    return lines;
}

std::wstring DefaultValue(const std::wstring& key) {
    wchar_t value[1024] = {};
    LONG size = sizeof(value);
    if (RegQueryValueW(HKEY_CLASSES_ROOT, key.c_str(), value, &size) != ERROR_SUCCESS) return L"<absent>";
    return value;
}

// Calls a method by name, as page script does: the name's DISPID first, then
// Invoke with the arguments in reverse order.
HRESULT CallByName(IDispatch* dispatch, const wchar_t* name, std::vector<std::wstring> arguments,
                   std::wstring& answer) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    HRESULT status = dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(status)) return status;
    std::vector<platform::OwnedVariant> variants(arguments.size());
    for (size_t index = 0; index < arguments.size(); ++index) {
        VARIANTARG& variant = variants[arguments.size() - 1 - index];
        variant.vt = VT_BSTR;
        variant.bstrVal = SysAllocString(arguments[index].c_str());
    }
    DISPPARAMS parameters = {variants.data(), nullptr, static_cast<UINT>(variants.size()), 0};
    platform::OwnedVariant result;
    status = dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &parameters, &result, nullptr,
                              nullptr);
    if (SUCCEEDED(status) && result.vt == VT_BSTR) answer.assign(result.bstrVal, SysStringLen(result.bstrVal));
    return status;
}

struct Answers { std::wstring valid; std::wstring invalidVersion; std::wstring version; std::wstring package; };

// The three methods through the vtable, about this DLL's own class.
Answers AskVtable(IControlInstaller* object) {
    Answers answers;
    platform::SystemString guid(SysAllocString(ClassIdText().c_str()));
    platform::SystemString version(SysAllocString(kDllVersion));
    platform::SystemString otherVersion(SysAllocString(kOtherVersion));
    platform::SystemString answer;
    EXPECT_EQ(object->isValidControl(guid.Get(), version.Get(), answer.Receive()), S_OK);
    answers.valid = answer.Text();
    EXPECT_EQ(object->isValidControl(guid.Get(), otherVersion.Get(), answer.Receive()), S_OK);
    answers.invalidVersion = answer.Text();
    EXPECT_EQ(object->getControlVersion(guid.Get(), answer.Receive()), S_OK);
    answers.version = answer.Text();
    EXPECT_EQ(object->getPackageVersion(answer.Receive()), S_OK);
    answers.package = answer.Text();
    return answers;
}

void SetSite(IUnknown* object, const wchar_t* page) {
    const platform::ComRef<IObjectWithSite> withSite = SiteHolder(object);
    ASSERT_TRUE(withSite);
    if (page == nullptr) {
        withSite->SetSite(nullptr);
        return;
    }
    platform::ComRef<standin::StandInSite> browser(standin::StandInSite::Create(standin::SiteKind::WebBrowser, page));
    ASSERT_EQ(withSite->SetSite(browser->AsUnknown()), S_OK);
}

struct MarshalledCall {
    IStream* stream = nullptr;
    HRESULT unmarshalled = E_FAIL;
    bool differentPointer = false;
    Answers answers;
};

void CallFromOtherApartment(void* context) {
    auto* call = static_cast<MarshalledCall*>(context);
    platform::ComRef<IControlInstaller> proxy;
    call->unmarshalled = CoGetInterfaceAndReleaseStream(call->stream, IID_IControlInstaller, proxy.ReceiveVoid());
    if (FAILED(call->unmarshalled)) return;
    call->answers = AskVtable(proxy.Get());
}

class RegistrationTest : public ApartmentTest {
protected:
    void SetUp() override {
        ApartmentTest::SetUp();
        if (HasFatalFailure()) return;
        // Other tests of this prefix may have registered the DLL; it is put
        // back as it was afterwards.
        wasRegistered_ = KeyExists(HKEY_CLASSES_ROOT, L"CLSID\\" + ClassIdText() + L"\\InprocServer32");
    }
    void TearDown() override {
        Regsvr32(wasRegistered_ ? L"/s" : L"/u /s");
        ApartmentTest::TearDown();
    }

private:
    bool wasRegistered_ = false;
};

TEST_F(RegistrationTest, Regsvr32RegistersAClientUsesTheObjectAndUnregistrationRemovesIt) {
    Regsvr32(L"/u /s");
    const std::vector<std::wstring> before = Snapshot();
    ASSERT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"CLSID\\" + ClassIdText()));

    ASSERT_EQ(Regsvr32(L"/s"), 0);

    // What the two scripts wrote, exactly.
    const std::wstring clsid = ClassIdText();
    const std::wstring classKey = L"CLSID\\" + clsid;
    const std::vector<std::wstring> expectedClass = {
        classKey,
        classKey + L" | @ = s 'ControlInstaller Class'",
        classKey + L" | AppID = s '" + AppIdText() + L"'",
        classKey + L"\\Implemented Categories",
        classKey + L"\\Implemented Categories\\{7DD95801-9882-11CF-9FA9-00AA006C42C4}",
        classKey + L"\\Implemented Categories\\{7DD95802-9882-11CF-9FA9-00AA006C42C4}",
        classKey + L"\\InprocServer32",
        classKey + L"\\InprocServer32 | @ = s '" + ShippedDllPath() + L"'",
        classKey + L"\\InprocServer32 | ThreadingModel = s 'Apartment'",
        classKey + L"\\ProgID",
        classKey + L"\\ProgID | @ = s 'Tervagon.ControlInstaller.1'",
        classKey + L"\\Programmable",
        classKey + L"\\TypeLib",
        classKey + L"\\TypeLib | @ = s '" + LibraryIdText() + L"'",
        classKey + L"\\VersionIndependentProgID",
        classKey + L"\\VersionIndependentProgID | @ = s 'Tervagon.ControlInstaller'",
    };
    EXPECT_EQ(DumpKey(HKEY_CLASSES_ROOT, classKey), expectedClass);
    const std::vector<std::wstring> expectedProgIds = {
        L"Tervagon.ControlInstaller",
        L"Tervagon.ControlInstaller | @ = s 'ControlInstaller Class'",
        L"Tervagon.ControlInstaller\\CLSID",
        L"Tervagon.ControlInstaller\\CLSID | @ = s '" + clsid + L"'",
        L"Tervagon.ControlInstaller\\CurVer",
        L"Tervagon.ControlInstaller\\CurVer | @ = s 'Tervagon.ControlInstaller.1'",
    };
    EXPECT_EQ(DumpKey(HKEY_CLASSES_ROOT, L"Tervagon.ControlInstaller"), expectedProgIds);
    const std::vector<std::wstring> expectedVersioned = {
        L"Tervagon.ControlInstaller.1",
        L"Tervagon.ControlInstaller.1 | @ = s 'ControlInstaller Class'",
        L"Tervagon.ControlInstaller.1\\CLSID",
        L"Tervagon.ControlInstaller.1\\CLSID | @ = s '" + clsid + L"'",
    };
    EXPECT_EQ(DumpKey(HKEY_CLASSES_ROOT, L"Tervagon.ControlInstaller.1"), expectedVersioned);
    const std::wstring appIdKey = L"AppID\\" + AppIdText();
    EXPECT_EQ(DumpKey(HKEY_CLASSES_ROOT, appIdKey),
              (std::vector<std::wstring>{appIdKey, appIdKey + L" | @ = s 'Tervagon'"}));
    EXPECT_EQ(DumpKey(HKEY_CLASSES_ROOT, L"AppID\\Tervagon.DLL"),
              (std::vector<std::wstring>{L"AppID\\Tervagon.DLL",
                                         L"AppID\\Tervagon.DLL | AppID = s '" + AppIdText() + L"'"}));
    // The type library and the proxy/stub, as the platform records them.
    const std::wstring iid = InterfaceIdText();
    EXPECT_EQ(DefaultValue(L"TypeLib\\" + LibraryIdText() + L"\\1.0"), L"Tervagon 1.0 Type Library");
    EXPECT_EQ(DefaultValue(L"TypeLib\\" + LibraryIdText() + L"\\1.0\\0\\" + kDllPlatformKey), ShippedDllPath());
    EXPECT_EQ(DefaultValue(L"Interface\\" + iid), L"IControlInstaller");
    EXPECT_EQ(DefaultValue(L"Interface\\" + iid + L"\\TypeLib"), LibraryIdText());
    EXPECT_EQ(DefaultValue(L"Interface\\" + iid + L"\\ProxyStubClsid32"), iid)
        << "the proxy/stub, registered after the type library, marshals the interface";
    EXPECT_EQ(DefaultValue(L"CLSID\\" + iid + L"\\InProcServer32"), ShippedDllPath());

    {
        // Created by either ProgID.
        for (const wchar_t* progId : {L"Tervagon.ControlInstaller", L"Tervagon.ControlInstaller.1"}) {
            CLSID found = GUID_NULL;
            ASSERT_EQ(CLSIDFromProgID(progId, &found), S_OK) << Narrow(progId);
            EXPECT_TRUE(IsEqualCLSID(found, CLSID_ControlInstaller)) << Narrow(progId);
        }
        CLSID clsidFromProgId = GUID_NULL;
        ASSERT_EQ(CLSIDFromProgID(L"Tervagon.ControlInstaller", &clsidFromProgId), S_OK);
        platform::ComRef<IDispatch> dispatch;
        ASSERT_EQ(CoCreateInstance(clsidFromProgId, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                   dispatch.ReceiveVoid()),
                  S_OK);
        platform::ComRef<IControlInstaller> vtable;
        ASSERT_EQ(dispatch->QueryInterface(IID_IControlInstaller, vtable.ReceiveVoid()), S_OK);

        // A page of another domain learns nothing.
        std::wstring answer;
        SetSite(dispatch.Get(), L"https://talmoren-support.example.net/page");
        ASSERT_EQ(CallByName(dispatch.Get(), L"getPackageVersion", {}, answer), S_OK);
        EXPECT_EQ(answer, L"ERR InvalidDomain");

        // The support page asks about this DLL's own class, by name and through the vtable.
        SetSite(dispatch.Get(), kAllowedPage);
        const Answers direct = AskVtable(vtable.Get());
        EXPECT_EQ(direct.valid, L"true");
        EXPECT_EQ(direct.invalidVersion, L"false");
        EXPECT_EQ(direct.version, kDllVersion);
        EXPECT_NE(direct.package, L"ERR InvalidDomain");
        ASSERT_EQ(CallByName(dispatch.Get(), L"isValidControl", {clsid, kDllVersion}, answer), S_OK);
        EXPECT_EQ(answer, L"true");
        ASSERT_EQ(CallByName(dispatch.Get(), L"isValidControl", {clsid, kOtherVersion}, answer), S_OK);
        EXPECT_EQ(answer, L"false");
        ASSERT_EQ(CallByName(dispatch.Get(), L"getControlVersion", {clsid}, answer), S_OK);
        EXPECT_EQ(answer, kDllVersion);
        ASSERT_EQ(CallByName(dispatch.Get(), L"getPackageVersion", {}, answer), S_OK);
        EXPECT_EQ(answer, direct.package);

        // The same object used from another apartment, through the proxy/stub.
        MarshalledCall call;
        ASSERT_EQ(CoMarshalInterThreadInterfaceInStream(IID_IControlInstaller, vtable.Get(), &call.stream), S_OK);
        RunOnOtherApartment(&CallFromOtherApartment, &call);
        ASSERT_EQ(call.unmarshalled, S_OK);
        EXPECT_EQ(call.answers.valid, direct.valid);
        EXPECT_EQ(call.answers.invalidVersion, direct.invalidVersion);
        EXPECT_EQ(call.answers.version, direct.version);
        EXPECT_EQ(call.answers.package, direct.package);
        SetSite(dispatch.Get(), nullptr);
    }
    CoFreeUnusedLibraries();

    ASSERT_EQ(Regsvr32(L"/u /s"), 0);
    const std::vector<std::wstring> after = Snapshot();
    EXPECT_EQ(after, before) << "unregistration leaves only the shared keys";
    for (const wchar_t* shared : {L"CLSID", L"AppID", L"Interface", L"TypeLib"})
        EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, shared)) << Narrow(shared);

    Regsvr32(L"/u /s");
    EXPECT_EQ(Snapshot(), after) << "a second unregistration changes nothing";
}

// The categories step runs first and removes category keys left empty. A
// category key that still holds a subkey stays, and then the class script
// can't remove the class key: unregistration stops there, with the steps
// after it (type library, AppID, proxy/stub) not run.
TEST_F(RegistrationTest, EmptyCategoryKeysGoAndUnregistrationStopsAtTheFirstFailure) {
    Regsvr32(L"/u /s");
    LoadedServer server;
    ASSERT_EQ(server.Register(), S_OK);
    const std::wstring classKey = L"CLSID\\" + ClassIdText();
    const std::wstring required = classKey + L"\\Required Categories";
    const std::wstring implemented = classKey + L"\\Implemented Categories";
    const std::wstring foreign = implemented + L"\\{0D2E74C4-3C34-11D2-A27E-00C04FC30871}";
    platform::RegistryKey key;
    ASSERT_EQ(RegCreateKeyW(HKEY_CLASSES_ROOT, required.c_str(), key.Receive()), ERROR_SUCCESS);
    ASSERT_EQ(RegCreateKeyW(HKEY_CLASSES_ROOT, foreign.c_str(), key.Receive()), ERROR_SUCCESS);
    key.Reset();

    EXPECT_TRUE(FAILED(server.Unregister()));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, required));
    EXPECT_EQ(DumpKey(HKEY_CLASSES_ROOT, implemented), (std::vector<std::wstring>{implemented, foreign}));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"TypeLib\\" + LibraryIdText()));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"AppID\\" + AppIdText()));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"CLSID\\" + InterfaceIdText()));

    // With the foreign category gone, unregistration completes.
    ASSERT_EQ(RegDeleteKeyW(HKEY_CLASSES_ROOT, foreign.c_str()), ERROR_SUCCESS);
    EXPECT_EQ(server.Unregister(), S_OK);
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, classKey));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"TypeLib\\" + LibraryIdText()));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"AppID\\" + AppIdText()));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"CLSID\\" + InterfaceIdText()));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"Interface\\" + InterfaceIdText()));
}


// The path limit is that of the platform's narrow module path: a DLL whose
// path fills it can't name itself in the registry, and both directions fail
// at their first script step before anything is written or removed.
TEST_F(RegistrationTest, AModulePathThatFillsThePathBufferFailsBeforeAnyChange) {
    Regsvr32(L"/u /s");
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    std::vector<std::wstring> directories;
    std::wstring directory = std::wstring(temp) + L"tervagon-long-path";
    directories.push_back(directory);
    while (directory.size() < 270) {
        directory += L"\\" + std::wstring(60, L'd');
        directories.push_back(directory);
    }
    for (const std::wstring& each : directories) CreateDirectoryW((L"\\\\?\\" + each).c_str(), nullptr);
    const std::wstring dll = directory + L"\\Tervagon.DLL";
    ASSERT_TRUE(CopyFileW(ShippedDllPath().c_str(), (L"\\\\?\\" + dll).c_str(), FALSE));
    platform::LoadedModule module(LoadLibraryW((L"\\\\?\\" + dll).c_str()));
    const bool loaded = static_cast<bool>(module);
    if (loaded) {
        char path[MAX_PATH];
        EXPECT_EQ(GetModuleFileNameA(module.Get(), path, MAX_PATH), static_cast<DWORD>(MAX_PATH));
        using Entry = HRESULT(STDAPICALLTYPE*)();
        auto registerServer =
            reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(module.Get(), "DllRegisterServer")));
        auto unregisterServer =
            reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(module.Get(), "DllUnregisterServer")));
        ASSERT_NE(registerServer, nullptr);
        ASSERT_NE(unregisterServer, nullptr);
        const std::vector<std::wstring> before = Snapshot();
        EXPECT_EQ(registerServer(), HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER));
        EXPECT_EQ(Snapshot(), before);
        EXPECT_EQ(unregisterServer(), HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER));
        EXPECT_EQ(Snapshot(), before);
        module.Reset();
    }
    DeleteFileW((L"\\\\?\\" + dll).c_str());
    for (auto each = directories.rbegin(); each != directories.rend(); ++each)
        RemoveDirectoryW((L"\\\\?\\" + *each).c_str());
    if (!loaded) GTEST_SKIP() << "this platform loads no DLL from so long a path";
}

}  // namespace
}  // namespace server_tests
