// What the server tests share: the path of the DLL under test, a private copy of it loaded into the test process, and the
// registry helpers.
#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>
#include <ocidl.h>
#include <oleauto.h>

#include "Tervagon.h"
#include "platform/com_ref.h"
#include "platform/loaded_module.h"
#include "platform/owned_string.h"

namespace server_tests {

// A test that runs in a single-threaded apartment of its own thread, as a page's
// script does.
class ApartmentTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))); }
    void TearDown() override { CoUninitialize(); }
};

// Narrow text for test messages.
std::string Narrow(const std::wstring& text);

// A GUID as its 38-character text.
std::wstring GuidText(const GUID& guid);

// The platform of this build's DLL, as a type library registration names it:
// "win32" with SYS_WIN32 for the i686 build, "win64" with SYS_WIN64 for x86-64.
#ifdef _WIN64
constexpr SYSKIND kDllSyskind = SYS_WIN64;
constexpr const wchar_t* kDllPlatformKey = L"win64";
#else
constexpr SYSKIND kDllSyskind = SYS_WIN32;
constexpr const wchar_t* kDllPlatformKey = L"win32";
#endif
// The built DLL, as a Windows path (the Unix root is drive Z: under Wine).
std::wstring ShippedDllPath();
// The CLSID, IID, LIBID and AppID as 38-character texts.
std::wstring ClassIdText();
std::wstring InterfaceIdText();
std::wstring LibraryIdText();
std::wstring AppIdText();

// A private copy of the DLL under a file name of its own, loaded into this
// process, so that every test starts from a module that has cached nothing
// (no class object, no type information) and ends by unloading it, which
// runs the module's teardown.
class LoadedServer {
public:
    LoadedServer();
    ~LoadedServer();
    LoadedServer(const LoadedServer&) = delete;
    LoadedServer& operator=(const LoadedServer&) = delete;

    bool Loaded() const { return static_cast<bool>(module_); }
    const std::wstring& Path() const { return path_; }

    HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** object) const;
    HRESULT CanUnloadNow() const;
    HRESULT Register() const;
    HRESULT Unregister() const;

    // The class factory of ControlInstaller (fails the test when missing).
    platform::ComRef<IClassFactory> Factory() const;
    // A new plain ControlInstaller (fails the test when it can't be made).
    platform::ComRef<IControlInstaller> Create() const;
    // The same, with its IObjectWithSite (both empty when either is missing).
    struct SitedObject {
        platform::ComRef<IControlInstaller> object;
        platform::ComRef<IObjectWithSite> withSite;
    };
    SitedObject CreateWithSite() const;

private:
    template <class Function>
    Function Export(const char* name) const;

    std::wstring path_;
    platform::LoadedModule module_;
};

// The object's IObjectWithSite, through which a page's browser gives it its
// site (fails the test when the object has none).
platform::ComRef<IObjectWithSite> SiteHolder(IUnknown* object);

// Registers the shipped DLL's type library for the lifetime of this object,
// unless it was registered already (then it is left as it was).
class RegisteredTypeLibrary {
public:
    RegisteredTypeLibrary();
    ~RegisteredTypeLibrary();
    RegisteredTypeLibrary(const RegisteredTypeLibrary&) = delete;
    RegisteredTypeLibrary& operator=(const RegisteredTypeLibrary&) = delete;
    HRESULT Status() const { return status_; }

private:
    HRESULT status_ = E_FAIL;
    bool registeredHere_ = false;
};

// Every key, value name, type and data below root\path, one line each, sorted;
// empty when the key doesn't exist. Values are shown as text (strings) or
// numbers (DWORDs).
std::vector<std::wstring> DumpKey(HKEY root, const std::wstring& path);
bool KeyExists(HKEY root, const std::wstring& path);
DWORD SubkeyCount(HKEY root, const std::wstring& path);

// Runs a program of the Windows directory to its end; its exit code, or -1.
int RunProgram(const std::wstring& commandLine);

// Runs fn on a new single-threaded apartment thread while this (apartment)
// thread keeps dispatching messages, so that calls marshalled back to it are
// served.
void RunOnOtherApartment(void (*fn)(void* context), void* context);

}  // namespace server_tests
