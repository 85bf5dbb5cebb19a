#include "bridge/program/installer_call.h"

#include <ocidl.h>

#include <cstdio>
#include <vector>

#include "bridge/program/page_site.h"
#include "platform/com_ref.h"
#include "platform/owned_string.h"

namespace bridge {
namespace {

std::wstring Wide(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

// A BSTR that holds exactly the text, NULs included.
platform::SystemString StringOf(const std::u16string& text) {
    const std::wstring wide = Wide(text);
    return platform::SystemString(SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size())));
}

InstallerAnswer Failed(const char* what, HRESULT status) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(status));
    return InstallerAnswer{false, {}, std::string(what) + " (" + code + ")"};
}

// Takes the object's site away on every road out, as a browser does when it
// leaves the page.
class SiteLease {
public:
    explicit SiteLease(IObjectWithSite* holder) : holder_(holder) {}
    SiteLease(const SiteLease&) = delete;
    SiteLease& operator=(const SiteLease&) = delete;
    ~SiteLease() { holder_->SetSite(nullptr); }

private:
    IObjectWithSite* holder_;
};

}  // namespace

HRESULT InstallerMaker::Make(platform::ComRef<IControlInstaller>& installer) {
    if (!factory_) {
        // By class identifier, as a page's object tag names it.
        const HRESULT status = CoGetClassObject(CLSID_ControlInstaller, CLSCTX_INPROC_SERVER, nullptr,
                                                IID_IClassFactory, factory_.ReceiveVoid());
        if (FAILED(status) || !factory_) {
            factory_.Reset();
            return FAILED(status) ? status : E_UNEXPECTED;
        }
    }
    const HRESULT status = factory_->CreateInstance(nullptr, IID_IControlInstaller, installer.ReceiveVoid());
    return SUCCEEDED(status) && !installer ? E_UNEXPECTED : status;
}

InstallerAnswer AskInstaller(InstallerMaker& maker, const Request& request) {
    // A parsed request has its method's count; one built otherwise is refused
    // before any object is made for it.
    if (request.arguments.size() != ArgumentCount(request.method)) return Failed("wrong number of arguments", E_INVALIDARG);
    platform::ComRef<IControlInstaller> installer;
    HRESULT status = maker.Make(installer);
    if (FAILED(status)) return Failed("Tervagon.ControlInstaller could not be created", status);
    platform::ComRef<IObjectWithSite> siteHolder;
    status = installer->QueryInterface(IID_IObjectWithSite, siteHolder.ReceiveVoid());
    if (FAILED(status) || !siteHolder) return Failed("the object takes no site", status);
    const platform::ComRef<IUnknown> site = MakePageSite(Wide(request.page));
    if (!site) return Failed("no room for the page's site", E_OUTOFMEMORY);
    status = siteHolder->SetSite(site.Get());
    if (FAILED(status)) return Failed("the object refused its site", status);
    const SiteLease lease(siteHolder.Get());

    std::vector<platform::SystemString> arguments;
    for (const std::u16string& argument : request.arguments) {
        arguments.push_back(StringOf(argument));
        if (!arguments.back()) return Failed("no room for the arguments", E_OUTOFMEMORY);
    }
    platform::SystemString answer;
    switch (request.method) {
    case Method::IsValidControl:
        status = installer->isValidControl(arguments[0].Get(), arguments[1].Get(), answer.Receive());
        break;
    case Method::GetControlVersion:
        status = installer->getControlVersion(arguments[0].Get(), answer.Receive());
        break;
    case Method::GetPackageVersion:
        status = installer->getPackageVersion(answer.Receive());
        break;
    }
    if (FAILED(status)) return Failed("the object failed to answer", status);
    const std::wstring_view text(answer.Get(), answer.Length());
    return InstallerAnswer{true, std::u16string(text.begin(), text.end()), {}};
}

}  // namespace bridge
