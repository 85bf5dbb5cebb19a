// The host-page domain check: from the object's site to the addresses of the
// top-level page and of the document that holds the object, the host name in
// each, and the allowed suffix.
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "checking/control_checker.h"
#include "checking/host_suffix.h"
#include "checking/page_address.h"
#include "checking/site_addresses.h"
#include "platform/conversion.h"
#include "platform/failure_barrier.h"
#include "platform/owned_string.h"

#include <wininet.h>

namespace checking {
namespace {

// The longest page address looked at, as the platform's URL limit has it.
constexpr int kUrlCapacity = 2084;

// The address's own text up to the end of its authority, and the character
// that ends it when there is one: ASCII, so any exact conversion gives it
// byte for byte.
std::string ExactHead(std::wstring_view address, const AddressParts& parts) {
    const std::size_t end = parts.authorityEnd < address.size() ? parts.authorityEnd + 1 : address.size();
    std::string head;
    for (std::size_t i = 0; i < end; ++i) head.push_back(static_cast<char>(address[i]));
    return head;
}

// Whether one address that the browser reported is a page of the allowed domain.
bool AddressIsAllowed(std::wstring_view reported) {
    // The verdict rests on the text that the browser reported, before any
    // conversion: a code page that lacks a character maps it to a
    // look-alike or to '?', which would change the host or cut it short.
    const std::optional<AddressParts> split = SplitPageAddress(reported);
    if (!split) return false;
    const std::string host = HostText(reported, *split);
    if (!HostTextIsAllowed(host)) return false;

    // The URL parser sees at most 2083 narrow characters, cut between
    // characters so that a long localized path doesn't end in half a
    // double-byte character.
    std::string narrow;
    if (!platform::ToNarrowWithin(reported.data(), reported.size(), kUrlCapacity - 1, narrow)) return false;
    // The scheme, the authority and the character after it must have come
    // through exactly; a host that runs into the cut
    // ("x.talmoren.com.elsewhere.example") can't be judged.
    const std::string head = ExactHead(reported, *split);
    if (narrow.compare(0, head.size(), head) != 0) return false;
    char url[kUrlCapacity] = {};
    lstrcpynA(url, narrow.c_str(), kUrlCapacity);
    const int kept = lstrlenA(url);

    URL_COMPONENTSA parts;
    std::memset(&parts, 0, sizeof(parts));
    parts.dwStructSize = sizeof(parts);
    // A length with no buffer asks for a pointer into `url`.
    parts.dwHostNameLength = 1;
    parts.dwUrlPathLength = 1;
    if (!InternetCrackUrlA(url, static_cast<DWORD>(kept + 1), 0, &parts)) return false;
    if (parts.lpszHostName == nullptr || parts.lpszUrlPath == nullptr) return false;
    // The parser must find the very host judged above. Where it reads the
    // address otherwise ("http://evil.example?@www.talmoren.com/"), the
    // browser may load either: the page is refused.
    if (parts.lpszHostName != url + split->hostStart || parts.dwHostNameLength != host.size() ||
        parts.lpszUrlPath < url + split->authorityEnd)
        return false;
    return true;
}

// Every unit that a string records, NULs included.
template <typename OwnedText>
std::wstring_view View(const OwnedText& text) {
    return {text.Get(), text.Length()};
}

// Whether the page that holds the object at `site` comes from the allowed
// domain: the top-level page, and the document that holds the object when the
// site offers it, each judged by the same rules.
bool PageIsAllowed(IUnknown* site) {
    platform::OwnedString topLevel;
    if (!ReadBrowserAddress(site, topLevel)) return false;
    platform::SystemString documentAddress;
    const DocumentAddress document = ReadDocumentAddress(site, documentAddress);
    if (document == DocumentAddress::Unreadable) return false;
    HoldingPage<wchar_t> page{View(topLevel), std::nullopt};
    if (document == DocumentAddress::Read) page.document = View(documentAddress);
    return HoldingPageIsAllowed(page, AddressIsAllowed);
}

}  // namespace

HRESULT ControlChecker::VerifyHostDomain() {
    // Anything that goes wrong on the way, a conversion out of room included,
    // refuses the page.
    return platform::Succeeds([&] { return PageIsAllowed(m_site.Get()); }) ? S_OK : E_FAIL;
}

}  // namespace checking
