// The host-page domain check: from the object's site to the hosting browser,
// its page address, the host name in it, and the allowed suffix.
#include <cstring>
#include <string>
#include <string_view>

#include <exdisp.h>
#include <servprov.h>
#include <shlguid.h>
#include <wininet.h>

#include "platform/com_ref.h"
#include "checking/control_checker.h"
#include "checking/host_suffix.h"
#include "checking/owned_string.h"
#include "platform/allocation.h"
#include "platform/conversion.h"

namespace checking {
namespace {

// The longest page address looked at, as the platform's URL limit has it.
constexpr int kUrlCapacity = 2084;

// The page address as the hosting browser reports it, or false when the object
// has no site, the container isn't a web browser or the browser can't tell.
bool ReadPageAddress(IUnknown* site, OwnedString& address) {
    if (site == nullptr) return false;
    platform::ComRef<IServiceProvider> provider;
    if (FAILED(site->QueryInterface(IID_IServiceProvider, provider.ReceiveVoid())) || !provider) return false;
    platform::ComRef<IWebBrowser2> browser;
    if (FAILED(provider->QueryService(SID_SWebBrowserApp, IID_IWebBrowser2, browser.ReceiveVoid())) || !browser)
        return false;
    BSTR location = nullptr;
    if (FAILED(browser->get_LocationURL(&location))) return false;
    if (location == nullptr) return true;  // no address: the split below fails
    // The browser's string was made by the browser's allocator, not through
    // the seam: it goes back the same way.
    address.reset(platform::AllocString(location));
    SysFreeString(location);
    return static_cast<bool>(address);  // out of memory fails the check
}

}  // namespace

HRESULT ControlChecker::VerifyHostDomain() {
    try {
        OwnedString address;
        if (!ReadPageAddress(m_site, address)) return E_FAIL;

        std::string narrow;
        if (!platform::ToNarrow(address.get(), narrow)) return E_FAIL;
        char url[kUrlCapacity] = {};
        lstrcpynA(url, narrow.c_str(), kUrlCapacity);
        const int kept = lstrlenA(url);
        const bool cut = narrow.size() > static_cast<std::size_t>(kept);

        URL_COMPONENTSA parts;
        std::memset(&parts, 0, sizeof(parts));
        parts.dwStructSize = sizeof(parts);
        // A length with no buffer asks for a pointer into `url`.
        parts.dwHostNameLength = 1;
        parts.dwUrlPathLength = 1;
        if (!InternetCrackUrlA(url, static_cast<DWORD>(kept + 1), 0, &parts)) return E_FAIL;
        if (parts.lpszHostName == nullptr || parts.lpszUrlPath == nullptr) return E_FAIL;
        if (parts.lpszUrlPath < parts.lpszHostName) return E_FAIL;
        // A host that runs into the cut may have gone on with other labels
        // ("x.talmoren.com.elsewhere.example"): only a host that ends inside
        // the kept text can be judged.
        if (cut && parts.lpszUrlPath >= url + kept) return E_FAIL;

        // The host text runs from the host name to the path; a port stays in it.
        *parts.lpszUrlPath = '\0';
        char host[kUrlCapacity] = {};
        lstrcpynA(host, parts.lpszHostName, kUrlCapacity);
        return HostTextIsAllowed(std::string_view(host)) ? S_OK : E_FAIL;
    } catch (...) {
        return E_FAIL;
    }
}

}  // namespace checking
