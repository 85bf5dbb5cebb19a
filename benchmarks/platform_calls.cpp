#include "benchmarks/platform_calls.h"

#include <exdisp.h>
#include <mshtml.h>
#include <oleidl.h>
#include <servprov.h>
#include <shlguid.h>
#include <wininet.h>

#include <cstdio>
#include <vector>

#include "platform/com_ref.h"
#include "platform/find_handle.h"
#include "platform/owned_string.h"
#include "platform/registry_key.h"

namespace bench {

PlatformCalls::PlatformCalls(IUnknown* site, const wchar_t* guid) : site_(site), guid_(guid) {
    std::snprintf(keyPath_, sizeof keyPath_, "SOFTWARE\\Classes\\CLSID\\%ls\\InProcServer32", guid);
}

namespace {

HRESULT SplitUrl(const platform::SystemString& url) {
    char narrow[2084] = {};
    WideCharToMultiByte(CP_THREAD_ACP, 0, url.Get(), -1, narrow, sizeof narrow - 1, nullptr, nullptr);
    URL_COMPONENTSA parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = 1;
    parts.dwUrlPathLength = 1;
    return InternetCrackUrlA(narrow, static_cast<DWORD>(lstrlenA(narrow) + 1), 0, &parts) ? S_OK : E_FAIL;
}

}  // namespace

HRESULT PlatformCalls::PageAddress() {
    platform::ComRef<IServiceProvider> provider;
    HRESULT hr = site_->QueryInterface(IID_IServiceProvider, provider.ReceiveVoid());
    if (FAILED(hr)) return hr;
    platform::ComRef<IWebBrowser2> browser;
    hr = provider->QueryService(SID_SWebBrowserApp, IID_IWebBrowser2, browser.ReceiveVoid());
    if (FAILED(hr)) return hr;
    platform::SystemString url;
    if (FAILED(hr = browser->get_LocationURL(url.Receive()))) return hr;
    return SplitUrl(url);
}

HRESULT PlatformCalls::DocumentAddress() {
    platform::ComRef<IOleClientSite> clientSite;
    HRESULT hr = site_->QueryInterface(IID_IOleClientSite, clientSite.ReceiveVoid());
    if (FAILED(hr)) return hr;
    platform::ComRef<IOleContainer> container;
    if (FAILED(hr = clientSite->GetContainer(container.Receive()))) return hr;
    platform::ComRef<IHTMLDocument2> document;
    if (FAILED(hr = container->QueryInterface(IID_IHTMLDocument2, document.ReceiveVoid()))) return hr;
    platform::SystemString url;
    if (FAILED(hr = document->get_URL(url.Receive()))) return hr;
    return SplitUrl(url);
}

HRESULT PlatformCalls::ReadCompatibilityFlags() {
    CLSID clsid{};
    HRESULT hr = CLSIDFromString(guid_, &clsid);
    if (FAILED(hr)) return hr;
    for (const char* root : {"SOFTWARE\\Microsoft", "SOFTWARE\\Policies\\Microsoft"}) {
        char path[260];
        std::snprintf(path, sizeof path, "%s\\Internet Explorer\\ActiveX Compatibility\\%ls", root, guid_);
        platform::RegistryKey key;
        const LONG code = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_QUERY_VALUE, key.Receive());
        key.Reset();
        if (code != ERROR_SUCCESS && code != ERROR_FILE_NOT_FOUND) return HRESULT_FROM_WIN32(code);
    }
    CoInitialize(nullptr);
    CLSID created{};
    hr = CoGetTreatAsClass(clsid, &created);
    CoUninitialize();
    return SUCCEEDED(hr) ? S_OK : hr;
}

HRESULT PlatformCalls::CreateControl() {
    CLSID clsid{};
    HRESULT hr = CLSIDFromString(guid_, &clsid);
    if (FAILED(hr)) return hr;
    CoInitialize(nullptr);
    platform::ComRef<IDispatch> control;
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER, IID_IDispatch,
                          control.ReceiveVoid());
    control.Reset();
    CoUninitialize();
    return hr;
}

HRESULT PlatformCalls::ReadServerPath() {
    platform::RegistryKey key;
    LONG code = RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath_, 0, KEY_READ, key.Receive());
    if (code != ERROR_SUCCESS) return HRESULT_FROM_WIN32(code);
    DWORD type = 0, size = sizeof modulePath_;
    code = RegQueryValueExA(key.Get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(modulePath_), &size);
    key.Reset();
    return code == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(code);
}

HRESULT PlatformCalls::ReadFileVersion() {
    WIN32_FIND_DATAA found;
    platform::FindHandle search(FindFirstFileA(modulePath_, &found));
    if (!search) return E_FAIL;
    search.Reset();
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(modulePath_, &ignored);
    if (size == 0) return E_FAIL;
    std::vector<char> block(size);
    if (!GetFileVersionInfoA(modulePath_, 0, size, block.data())) return E_FAIL;
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&info), &length)) return E_FAIL;
    char text[64];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS),
                  HIWORD(info->dwFileVersionLS), LOWORD(info->dwFileVersionLS));
    return S_OK;
}

HRESULT PlatformCalls::ReadPackageValue() {
    platform::RegistryKey key;
    LONG code = RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Talmoren Technical Support", 0, KEY_READ, key.Receive());
    if (code != ERROR_SUCCESS) return HRESULT_FROM_WIN32(code);
    DWORD value = 0, size = sizeof value;
    code = RegQueryValueExA(key.Get(), "version", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
    key.Reset();
    return code == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(code);
}

HRESULT PlatformCalls::MakeAnswer() {
    platform::SystemString answer(SysAllocString(L"1.0.0.1"));
    return answer ? S_OK : E_OUTOFMEMORY;
}

HRESULT PlatformCalls::ControlFloor() {
    HRESULT hr = PageAddress();
    if (SUCCEEDED(hr)) hr = DocumentAddress();
    if (SUCCEEDED(hr)) hr = ReadCompatibilityFlags();
    if (SUCCEEDED(hr)) hr = CreateControl();
    if (SUCCEEDED(hr)) hr = ReadServerPath();
    if (SUCCEEDED(hr)) hr = ReadFileVersion();
    if (SUCCEEDED(hr)) hr = MakeAnswer();
    return hr;
}

HRESULT PlatformCalls::PackageFloor() {
    HRESULT hr = PageAddress();
    if (SUCCEEDED(hr)) hr = DocumentAddress();
    if (SUCCEEDED(hr)) hr = ReadPackageValue();
    if (SUCCEEDED(hr)) hr = MakeAnswer();
    return hr;
}

}  // namespace bench
