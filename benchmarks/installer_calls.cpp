#include "benchmarks/installer_calls.h"

#include <ocidl.h>

#include "server_ids.h"
#include "platform/owned_variant.h"
#include "tools/browser_standin/browser_site.h"

namespace bench {

const wchar_t kControlGuid[] = L"" TERVAGON_CLSID_TEXT;
const wchar_t kControlVersion[] = L"1.0.0.1";

namespace {

const wchar_t* const kNames[] = {L"isValidControl", L"getControlVersion", L"getPackageVersion"};
const DISPID kDispIds[] = {1, 2, 3};

}  // namespace

HRESULT InstallerCalls::Create(const wchar_t* url) {
    guid_.Attach(SysAllocString(kControlGuid));
    version_.Attach(SysAllocString(kControlVersion));
    HRESULT hr = CoCreateInstance(CLSID_ControlInstaller, nullptr, CLSCTX_INPROC_SERVER, IID_IControlInstaller,
                                  installer_.ReceiveVoid());
    if (FAILED(hr)) return hr;
    if (FAILED(hr = installer_->QueryInterface(IID_IDispatch, dispatch_.ReceiveVoid()))) return hr;
    platform::ComRef<IObjectWithSite> withSite;
    if (FAILED(hr = installer_->QueryInterface(IID_IObjectWithSite, withSite.ReceiveVoid()))) return hr;
    site_ = standin::MakeBrowserSite(url);
    return withSite->SetSite(site_.Get());
}

HRESULT InstallerCalls::Call(Method method, Road road) {
    const int index = static_cast<int>(method);
    if (road == Road::Vtable) {
        platform::SystemString answer;
        HRESULT hr = E_UNEXPECTED;
        switch (method) {
        case Method::IsValidControl: hr = installer_->isValidControl(guid_.Get(), version_.Get(), answer.Receive()); break;
        case Method::GetControlVersion: hr = installer_->getControlVersion(guid_.Get(), answer.Receive()); break;
        case Method::GetPackageVersion: hr = installer_->getPackageVersion(answer.Receive()); break;
        }
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
        V_VT(&args[0]) = VT_BSTR, V_BSTR(&args[0]) = version_.Get();
        V_VT(&args[1]) = VT_BSTR, V_BSTR(&args[1]) = guid_.Get();
        count = 2;
    } else if (method == Method::GetControlVersion) {
        V_VT(&args[0]) = VT_BSTR, V_BSTR(&args[0]) = guid_.Get();
        count = 1;
    }
    DISPPARAMS params{count ? args : nullptr, nullptr, count, 0};
    platform::OwnedVariant result;
    const HRESULT hr = dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result,
                                         nullptr, nullptr);
    if (SUCCEEDED(hr) && V_VT(&result) != VT_BSTR) return E_UNEXPECTED;
    return hr;
}

std::wstring InstallerCalls::Answer(Method method) {
    platform::SystemString answer;
    switch (method) {
    case Method::IsValidControl: installer_->isValidControl(guid_.Get(), version_.Get(), answer.Receive()); break;
    case Method::GetControlVersion: installer_->getControlVersion(guid_.Get(), answer.Receive()); break;
    case Method::GetPackageVersion: installer_->getPackageVersion(answer.Receive()); break;
    }
    return answer.Text();
}

}  // namespace bench
