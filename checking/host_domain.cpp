// The host-page domain check: from the object's site to the hosting browser,
// its page address, the host name in it, and the allowed suffix.
#include <cstring>
#include <optional>
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
#include "checking/page_address.h"
#include "platform/allocation.h"
#include "platform/conversion.h"

namespace checking {
namespace {

// The longest page address looked at, as the platform's URL limit has it.
constexpr int kUrlCapacity = 2084;

// The page address as the hosting browser reports it, or false when the object
// has no site, the container isn't a web browser or the browser can't tell.
// The copy keeps the whole stored length, so that a NUL inside it is seen.
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
    address.reset(platform::AllocStringLen(location, SysStringLen(location)));
    SysFreeString(location);
    return static_cast<bool>(address);  // out of memory fails the check
}

// The address's own text up to the end of its authority, and the character
// that ends it when there is one: ASCII, so any exact conversion gives it
// byte for byte.
std::string ExactHead(std::wstring_view address, const AddressParts& parts) {
    const std::size_t end = parts.authorityEnd < address.size() ? parts.authorityEnd + 1 : address.size();
    std::string head;
    for (std::size_t i = 0; i < end; ++i) head.push_back(static_cast<char>(address[i]));
    return head;
}

}  // namespace

HRESULT ControlChecker::VerifyHostDomain() {
    try {
        OwnedString address;
        if (!ReadPageAddress(m_site, address)) return E_FAIL;
        // The verdict rests on the text that the browser reported, before any
        // conversion: a code page that lacks a character maps it to a
        // look-alike or to '?', which would change the host or cut it short.
        const std::wstring_view reported(address.get(), SysStringLen(address.get()));
        const std::optional<AddressParts> split = SplitPageAddress(reported);
        if (!split) return E_FAIL;
        const std::string host = HostText(reported, *split);
        if (!HostTextIsAllowed(host)) return E_FAIL;

        // The URL parser sees at most 2083 narrow characters, cut between
        // characters so that a long localized path doesn't end in half a
        // double-byte character.
        std::string narrow;
        if (!platform::ToNarrowWithin(reported.data(), reported.size(), kUrlCapacity - 1, narrow)) return E_FAIL;
        // The scheme, the authority and the character after it must have come
        // through exactly; a host that runs into the cut
        // ("x.talmoren.com.elsewhere.example") can't be judged.
        const std::string head = ExactHead(reported, *split);
        if (narrow.compare(0, head.size(), head) != 0) return E_FAIL;
        char url[kUrlCapacity] = {};
        lstrcpynA(url, narrow.c_str(), kUrlCapacity);
        const int kept = lstrlenA(url);

        URL_COMPONENTSA parts;
        std::memset(&parts, 0, sizeof(parts));
        parts.dwStructSize = sizeof(parts);
        // A length with no buffer asks for a pointer into `url`.
        parts.dwHostNameLength = 1;
        parts.dwUrlPathLength = 1;
        if (!InternetCrackUrlA(url, static_cast<DWORD>(kept + 1), 0, &parts)) return E_FAIL;
        if (parts.lpszHostName == nullptr || parts.lpszUrlPath == nullptr) return E_FAIL;
        // The parser must find the very host judged above. Where it reads the
        // address otherwise ("http://evil.example?@www.talmoren.com/"), the
        // browser may load either: the page is refused.
        if (parts.lpszHostName != url + split->hostStart || parts.dwHostNameLength != host.size() ||
            parts.lpszUrlPath < url + split->authorityEnd)
            return E_FAIL;
        return S_OK;
    } catch (...) {
        return E_FAIL;
    }
}

}  // namespace checking
