#include "tests/server/server_support.h"

#include <algorithm>
#include <atomic>

#include <gtest/gtest.h>

#include "platform/com_apartment.h"
#include "platform/kernel_handle.h"
#include "platform/registry_key.h"
#include "server_ids.h"
#include "tests/wine_path.h"

namespace server_tests {
namespace {

std::atomic<int> g_copies{0};

}  // namespace

std::wstring GuidText(const GUID& guid) {
    wchar_t text[64] = {};
    StringFromGUID2(guid, text, 64);
    return text;
}

std::string Narrow(const std::wstring& text) {
    std::string narrow;
    for (wchar_t c : text) narrow += c < 128 ? static_cast<char>(c) : '?';
    return narrow;
}

std::wstring ShippedDllPath() { return tests::WideWinePath(TERVAGON_DLL_PATH); }

std::wstring ClassIdText() { return GuidText(CLSID_ControlInstaller); }
std::wstring InterfaceIdText() { return GuidText(IID_IControlInstaller); }
std::wstring LibraryIdText() { return GuidText(LIBID_TervagonLib); }
std::wstring AppIdText() { return TERVAGON_APPID_WIDE; }

LoadedServer::LoadedServer() {
    wchar_t directory[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, directory);
    path_ = std::wstring(directory) + L"tervagon-server-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(g_copies.fetch_add(1)) + L".dll";
    if (!CopyFileW(ShippedDllPath().c_str(), path_.c_str(), FALSE)) {
        ADD_FAILURE() << "cannot copy " << Narrow(ShippedDllPath()) << ": error " << GetLastError();
        return;
    }
    module_.Attach(LoadLibraryW(path_.c_str()));
    if (!module_) ADD_FAILURE() << "cannot load " << Narrow(path_) << ": error " << GetLastError();
}

LoadedServer::~LoadedServer() {
    if (module_) {
        // Unloading a module that still has live objects would pull the code
        // from under them: such a test has already failed, so it keeps the module.
        const HRESULT unloadable = CanUnloadNow();
        EXPECT_EQ(unloadable, S_OK) << "the test left objects of the server alive";
        if (unloadable != S_OK) {
            module_.Detach();
            return;
        }
        module_.Reset();
    }
    DeleteFileW(path_.c_str());
}

template <class Function>
Function LoadedServer::Export(const char* name) const {
    if (!module_) return nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module_.Get(), name)));
}

HRESULT LoadedServer::GetClassObject(REFCLSID clsid, REFIID iid, void** object) const {
    auto function = Export<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>("DllGetClassObject");
    return function != nullptr ? function(clsid, iid, object) : E_UNEXPECTED;
}

HRESULT LoadedServer::CanUnloadNow() const {
    auto function = Export<HRESULT(STDAPICALLTYPE*)()>("DllCanUnloadNow");
    return function != nullptr ? function() : E_UNEXPECTED;
}

HRESULT LoadedServer::Register() const {
    auto function = Export<HRESULT(STDAPICALLTYPE*)()>("DllRegisterServer");
    return function != nullptr ? function() : E_UNEXPECTED;
}

HRESULT LoadedServer::Unregister() const {
    auto function = Export<HRESULT(STDAPICALLTYPE*)()>("DllUnregisterServer");
    return function != nullptr ? function() : E_UNEXPECTED;
}

platform::ComRef<IClassFactory> LoadedServer::Factory() const {
    platform::ComRef<IClassFactory> factory;
    EXPECT_EQ(GetClassObject(CLSID_ControlInstaller, IID_IClassFactory, factory.ReceiveVoid()), S_OK);
    return factory;
}

platform::ComRef<IControlInstaller> LoadedServer::Create() const {
    platform::ComRef<IControlInstaller> object;
    platform::ComRef<IClassFactory> factory = Factory();
    if (factory) {
        EXPECT_EQ(factory->CreateInstance(nullptr, IID_IControlInstaller, object.ReceiveVoid()), S_OK);
    }
    return object;
}

RegisteredTypeLibrary::RegisteredTypeLibrary() {
    platform::ComRef<ITypeLib> registered;
    if (SUCCEEDED(LoadRegTypeLib(LIBID_TervagonLib, 1, 0, LOCALE_NEUTRAL, registered.Receive()))) {
        status_ = S_OK;
        return;
    }
    platform::ComRef<ITypeLib> library;
    const std::wstring path = ShippedDllPath();
    status_ = LoadTypeLib(path.c_str(), library.Receive());
    if (FAILED(status_)) return;
    status_ = RegisterTypeLib(library.Get(), const_cast<OLECHAR*>(path.c_str()), nullptr);
    registeredHere_ = SUCCEEDED(status_);
}

RegisteredTypeLibrary::~RegisteredTypeLibrary() {
    if (registeredHere_) UnRegisterTypeLib(LIBID_TervagonLib, 1, 0, LOCALE_NEUTRAL, kDllSyskind);
}

namespace {

void Dump(HKEY key, const std::wstring& path, std::vector<std::wstring>& lines) {
    lines.push_back(path);
    for (DWORD index = 0;; ++index) {
        wchar_t name[16384];
        DWORD nameLength = 16384;
        DWORD type = 0;
        BYTE data[4096];
        DWORD dataLength = sizeof(data);
        const LONG status = RegEnumValueW(key, index, name, &nameLength, nullptr, &type, data, &dataLength);
        if (status != ERROR_SUCCESS) break;
        std::wstring line = path + L" | " + (nameLength == 0 ? L"@" : std::wstring(name, nameLength)) + L" = ";
        if (type == REG_SZ || type == REG_EXPAND_SZ) {
            line += L"s '" + std::wstring(reinterpret_cast<const wchar_t*>(data)) + L"'";
        } else if (type == REG_DWORD) {
            line += L"d " + std::to_wstring(*reinterpret_cast<const DWORD*>(data));
        } else {
            line += L"type " + std::to_wstring(type) + L", " + std::to_wstring(dataLength) + L" bytes";
        }
        lines.push_back(line);
    }
    std::vector<std::wstring> subkeys;
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD nameLength = 256;
        if (RegEnumKeyExW(key, index, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        subkeys.emplace_back(name, nameLength);
    }
    for (const std::wstring& subkey : subkeys) {
        platform::RegistryKey child;
        if (RegOpenKeyExW(key, subkey.c_str(), 0, KEY_READ, child.Receive()) != ERROR_SUCCESS) continue;
        Dump(child.Get(), path + L"\\" + subkey, lines);
    }
}

}  // namespace

std::vector<std::wstring> DumpKey(HKEY root, const std::wstring& path) {
    std::vector<std::wstring> lines;
    platform::RegistryKey key;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.Receive()) != ERROR_SUCCESS) return lines;
    Dump(key.Get(), path, lines);
    key.Reset();
    std::sort(lines.begin(), lines.end(), [](const std::wstring& a, const std::wstring& b) {
        return _wcsicmp(a.c_str(), b.c_str()) < 0;
    });
    return lines;
}

bool KeyExists(HKEY root, const std::wstring& path) {
    platform::RegistryKey key;
    return RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.Receive()) == ERROR_SUCCESS;
}

DWORD SubkeyCount(HKEY root, const std::wstring& path) {
    platform::RegistryKey key;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.Receive()) != ERROR_SUCCESS) return 0;
    DWORD count = 0;
    RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                     nullptr);
    return count;
}

LoadedServer::SitedObject LoadedServer::CreateWithSite() const {
    SitedObject created{Create(), {}};
    if (created.object) created.withSite = SiteHolder(created.object.Get());
    if (!created.withSite) created.object.Reset();
    return created;
}

platform::ComRef<IObjectWithSite> SiteHolder(IUnknown* object) {
    platform::ComRef<IObjectWithSite> withSite;
    EXPECT_EQ(object->QueryInterface(IID_IObjectWithSite, withSite.ReceiveVoid()), S_OK);
    return withSite;
}

int RunProgram(const std::wstring& commandLine) {
    std::wstring line = commandLine;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started = {};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started))
        return -1;
    const platform::KernelHandle process(started.hProcess), thread(started.hThread);
    int result = -1;
    if (WaitForSingleObject(process.Get(), 120000) == WAIT_OBJECT_0) {
        DWORD code = 0;
        if (GetExitCodeProcess(process.Get(), &code)) result = static_cast<int>(code);
    } else {
        TerminateProcess(process.Get(), 1);
    }
    return result;
}

namespace {

struct ApartmentCall { void (*fn)(void*); void* context; };

DWORD WINAPI ApartmentThread(void* parameter) {
    auto* call = static_cast<ApartmentCall*>(parameter);
    const platform::ComApartment apartment;
    if (FAILED(apartment.Status())) return 1;
    call->fn(call->context);
    return 0;
}

}  // namespace

void RunOnOtherApartment(void (*fn)(void* context), void* context) {
    ApartmentCall call{fn, context};
    const platform::KernelHandle started(CreateThread(nullptr, 0, &ApartmentThread, &call, 0, nullptr));
    ASSERT_TRUE(started);
    HANDLE thread = started.Get();
    const DWORD deadline = GetTickCount() + 60000;
    for (;;) {
        const DWORD now = GetTickCount();
        const DWORD wait = now < deadline ? deadline - now : 0;
        const DWORD result = MsgWaitForMultipleObjects(1, &thread, FALSE, wait, QS_ALLINPUT);
        if (result == WAIT_OBJECT_0) break;
        if (result == WAIT_OBJECT_0 + 1) {
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
            continue;
        }
        ADD_FAILURE() << "the other apartment did not finish";
        TerminateThread(thread, 1);
        break;
    }
    DWORD code = 1;
    GetExitCodeThread(thread, &code);
    EXPECT_EQ(code, 0u) << "the other apartment could not start COM";
}

}  // namespace server_tests
