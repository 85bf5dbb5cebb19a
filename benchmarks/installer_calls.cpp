#include "benchmarks/installer_calls.h"

#include <ocidl.h>

#include "server_ids.h"
#include "tools/pagehost/browser_site.h"

namespace bench {

const wchar_t kControlGuid[] = L"" TERVAGON_CLSID_TEXT;
const wchar_t kControlVersion[] = L"1.0.0.1";

namespace {

const wchar_t* const kNames[] = {L"isValidControl", L"getControlVersion", L"getPackageVersion"};
const DISPID kDispIds[] = {1, 2, 3};

}  // namespace

HRESULT InstallerCalls::Create(const wchar_t* url) {
    guid_ = pagehost::Bstr(kControlGuid);
    version_ = pagehost::Bstr(kControlVersion);
    HRESULT hr = CoCreateInstance(CLSID_ControlInstaller, nullptr, CLSCTX_INPROC_SERVER, IID_IControlInstaller,
                                  installer_.put_void());
    if (FAILED(hr)) return hr;
    if (FAILED(hr = installer_.As(dispatch_, IID_IDispatch))) return hr;
    pagehost::ComPtr<IObjectWithSite> withSite;
    if (FAILED(hr = installer_.As(withSite, IID_IObjectWithSite))) return hr;
    site_ = pagehost::MakeBrowserSite(url);
    return withSite->SetSite(site_.get());
}

HRESULT InstallerCalls::Call(Method method, Road road) {
    const int index = static_cast<int>(method);
    if (road == Road::Vtable) {
        BSTR answer = nullptr;
        HRESULT hr = E_UNEXPECTED;
        switch (method) {
        case Method::IsValidControl: hr = installer_->isValidControl(guid_.get(), version_.get(), &answer); break;
        case Method::GetControlVersion: hr = installer_->getControlVersion(guid_.get(), &answer); break;
        case Method::GetPackageVersion: hr = installer_->getPackageVersion(&answer); break;
        }
        SysFreeString(answer);
        return hr;
    }
    DISPID id = kDispIds[index];
    if (road == Road::DispatchByName) {
        LPOLESTR name = const_cast<LPOLESTR>(kNames[index]);
        if (const HRESULT hr = dispatch_->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id); FAILED(hr))
            return hr;
    }
    // Arguments go last first.
    VARIANT args[2];
    UINT count = 0;
    if (method == Method::IsValidControl) {
        V_VT(&args[0]) = VT_BSTR, V_BSTR(&args[0]) = version_.get();
        V_VT(&args[1]) = VT_BSTR, V_BSTR(&args[1]) = guid_.get();
        count = 2;
    } else if (method == Method::GetControlVersion) {
        V_VT(&args[0]) = VT_BSTR, V_BSTR(&args[0]) = guid_.get();
        count = 1;
    }
    DISPPARAMS params{count ? args : nullptr, nullptr, count, 0};
    pagehost::Variant result;
    const HRESULT hr = dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result,
                                         nullptr, nullptr);
    if (SUCCEEDED(hr) && V_VT(&result) != VT_BSTR) return E_UNEXPECTED;
    return hr;
}

std::wstring InstallerCalls::Answer(Method method) {
    BSTR answer = nullptr;
    switch (method) {
    case Method::IsValidControl: installer_->isValidControl(guid_.get(), version_.get(), &answer); break;
    case Method::GetControlVersion: installer_->getControlVersion(guid_.get(), &answer); break;
    case Method::GetPackageVersion: installer_->getPackageVersion(&answer); break;
    }
    std::wstring text(answer ? answer : L"", SysStringLen(answer));
    SysFreeString(answer);
    return text;
}

}  // namespace bench
