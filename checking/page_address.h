// The page address as the hosting browser reported it, judged before any
// conversion: its scheme and the authority that names the host decide whether
// the page may be answered at all. Nothing here needs Windows.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace checking {

// Where the host name lies in an address, in UTF-16 units from its start.
struct AddressParts {
    std::size_t hostStart = 0;     // after the user part, if there is one
    std::size_t authorityEnd = 0;  // the '/', '?' or '#' that ends the authority, or the address's length
};

// Splits an address whose text is the whole of `address` (a BSTR's stored
// length, not its text up to a NUL). It gives no parts when the address can't
// be a web page of any domain:
// - a NUL anywhere in it (what follows a NUL is not seen by every reader);
// - a scheme other than "http" or "https" (in any letter case), or no "//"
//   right after it: other schemes carry content or files that whoever wrote
//   the address chose;
// - in the scheme or the authority, a character outside printable ASCII
//   (controls, spaces, and anything that a code-page conversion could turn
//   into a look-alike or a separator) or a '\', which browsers read as '/'.
// The authority ends at the first '/', '?' or '#'; the host name follows its
// last '@'.
template <typename Unit>
std::optional<AddressParts> SplitPageAddress(std::basic_string_view<Unit> address);

// The host name of a split address, as plain ASCII.
template <typename Unit>
std::string HostText(std::basic_string_view<Unit> address, const AddressParts& parts);

// The whole verdict on an address, without the platform's URL parser: it
// splits and its host text passes HostTextIsAllowed.
template <typename Unit>
bool PageAddressIsAllowed(std::basic_string_view<Unit> address);

// The page that holds the object: the address that the top-level browser
// shows and, when the site offers the document that holds the object, that
// document's own address (a frame's, when the object is on a frame).
template <typename Unit>
struct HoldingPage {
    std::basic_string_view<Unit> topLevel;
    std::optional<std::basic_string_view<Unit>> document;  // none: the site offers no document
};

// Both addresses must pass `addressIsAllowed`: a frame of another host inside
// a page of the domain is no page of the domain, and a frame of the domain
// inside a foreign page is under the foreign page's control (it can navigate
// the frame, or cover it). A site that offers no document is judged by the
// top-level address alone.
template <typename Unit, typename AddressJudge>
bool HoldingPageIsAllowed(const HoldingPage<Unit>& page, AddressJudge addressIsAllowed) {
    if (!addressIsAllowed(page.topLevel)) return false;
    return !page.document || addressIsAllowed(*page.document);
}

}  // namespace checking
