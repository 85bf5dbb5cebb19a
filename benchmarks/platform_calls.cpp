#include "benchmarks/platform_calls.h"

#include <exdisp.h>
#include <servprov.h>
#include <shlguid.h>
#include <wininet.h>

#include <cstdio>
#include <vector>

#include "tools/pagehost/com_ptr.h"

namespace bench {

PlatformCalls::PlatformCalls(IUnknown* site, const wchar_t* guid) : site_(site), guid_(guid) {
    std::snprintf(keyPath_, sizeof keyPath_, "SOFTWARE\\Classes\\CLSID\\%ls\\InProcServer32", guid);
}

HRESULT PlatformCalls::PageAddress() {
    pagehost::ComPtr<IServiceProvider> provider;
    HRESULT hr = site_->QueryInterface(IID_IServiceProvider, provider.put_void());
    if (FAILED(hr)) return hr;
    pagehost::ComPtr<IWebBrowser2> browser;
    hr = provider->QueryService(SID_SWebBrowserApp, IID_IWebBrowser2, browser.put_void());
    if (FAILED(hr)) return hr;
    pagehost::Bstr url;
    if (FAILED(hr = browser->get_LocationURL(url.put()))) return hr;
    char narrow[2084] = {};
    WideCharToMultiByte(CP_THREAD_ACP, 0, url.get(), -1, narrow, sizeof narrow - 1, nullptr, nullptr);
    URL_COMPONENTSA parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = 1;
    parts.dwUrlPathLength = 1;
    return InternetCrackUrlA(narrow, static_cast<DWORD>(lstrlenA(narrow) + 1), 0, &parts) ? S_OK : E_FAIL;
}

HRESULT PlatformCalls::ReadCompatibilityFlags() {
    CLSID clsid{};
    HRESULT hr = CLSIDFromString(guid_, &clsid);
    if (FAILED(hr)) return hr;
    char path[260];
    std::snprintf(path, sizeof path, "SOFTWARE\\Microsoft\\Internet Explorer\\ActiveX Compatibility\\%ls", guid_);
    HKEY key = nullptr;
    const LONG code = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_QUERY_VALUE, &key);
    if (code == ERROR_SUCCESS) RegCloseKey(key);
    if (code != ERROR_SUCCESS && code != ERROR_FILE_NOT_FOUND) return HRESULT_FROM_WIN32(code);
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
    IDispatch* control = nullptr;
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER, IID_IDispatch,
                          reinterpret_cast<void**>(&control));
    if (control) control->Release();
    CoUninitialize();
    return hr;
}

HRESULT PlatformCalls::ReadServerPath() {
    HKEY key = nullptr;
    LONG code = RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath_, 0, KEY_READ, &key);
    if (code != ERROR_SUCCESS) return HRESULT_FROM_WIN32(code);
    DWORD type = 0, size = sizeof modulePath_;
    code = RegQueryValueExA(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(modulePath_), &size);
    RegCloseKey(key);
    return code == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(code);
}

HRESULT PlatformCalls::ReadFileVersion() {
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA(modulePath_, &found);
    if (search == INVALID_HANDLE_VALUE) return E_FAIL;
    FindClose(search);
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
    HKEY key = nullptr;
    LONG code = RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Talmoren Technical Support", 0, KEY_READ, &key);
    if (code != ERROR_SUCCESS) return HRESULT_FROM_WIN32(code);
    DWORD value = 0, size = sizeof value;
    code = RegQueryValueExA(key, "version", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    return code == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(code);
}

HRESULT PlatformCalls::MakeAnswer() {
    BSTR answer = SysAllocString(L"1.0.0.1");
    if (answer == nullptr) return E_OUTOFMEMORY;
    SysFreeString(answer);
    return S_OK;
}

HRESULT PlatformCalls::ControlFloor() {
    HRESULT hr = PageAddress();
    if (SUCCEEDED(hr)) hr = ReadCompatibilityFlags();
    if (SUCCEEDED(hr)) hr = CreateControl();
    if (SUCCEEDED(hr)) hr = ReadServerPath();
    if (SUCCEEDED(hr)) hr = ReadFileVersion();
    if (SUCCEEDED(hr)) hr = MakeAnswer();
    return hr;
}

HRESULT PlatformCalls::PackageFloor() {
    HRESULT hr = PageAddress();
    if (SUCCEEDED(hr)) hr = ReadPackageValue();
    if (SUCCEEDED(hr)) hr = MakeAnswer();
    return hr;
}

}  // namespace bench
