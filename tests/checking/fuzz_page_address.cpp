// libFuzzer target for the site lock's text rules: arbitrary host texts, page
// addresses, and pairs of a top-level page and the document that holds the
// object. Whatever the rules allow must be a plain ASCII host name under the
// maker's domain, reached over http or https; the checks below read the text
// on their own, without the rules' code.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>

#include "checking/host_suffix.h"
#include "checking/page_address.h"

namespace {

constexpr std::string_view kSuffix = ".talmoren.com";

void Require(bool condition) {
    if (!condition) std::abort();
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

bool StartsWithIgnoringCase(std::u16string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (text[i] > 0x7F || Lower(static_cast<char>(text[i])) != prefix[i]) return false;
    }
    return true;
}

// What an allowed host must be.
void RequireAllowedHost(std::string_view host) {
    for (char c : host) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                           c == '.';
        Require(plain);  // ASCII only: no NUL, no '\', no '@', ':', '%' or space
    }
    Require(host.size() > kSuffix.size());
    const std::string_view tail = host.substr(host.size() - kSuffix.size());
    for (std::size_t i = 0; i < kSuffix.size(); ++i) Require(Lower(tail[i]) == kSuffix[i]);
    // Every label, the one before the suffix too, has a character.
    std::size_t labelLength = 0;
    for (char c : host) {
        if (c == '.') {
            Require(labelLength > 0);
            labelLength = 0;
        } else {
            ++labelLength;
        }
    }
    Require(labelLength > 0);
}

// What an allowed address must be.
void RequireAllowedAddress(std::u16string_view address) {
    for (char16_t unit : address) Require(unit != 0);
    std::size_t authority = 0;
    if (StartsWithIgnoringCase(address, "http://")) {
        authority = 7;
    } else {
        Require(StartsWithIgnoringCase(address, "https://"));
        authority = 8;
    }
    std::size_t end = authority;
    while (end < address.size() && address[end] != u'/' && address[end] != u'?' && address[end] != u'#') ++end;
    std::size_t hostStart = authority;
    for (std::size_t i = 0; i < end; ++i) {
        Require(address[i] > 0x20 && address[i] < 0x7F && address[i] != u'\\');
        if (i >= authority && address[i] == u'@') hostStart = i + 1;
    }
    std::string host;
    for (std::size_t i = hostStart; i < end; ++i) host.push_back(static_cast<char>(address[i]));
    RequireAllowedHost(host);
}

// Units that code pages turn into look-alikes or separators, and separators
// themselves, so that the search meets them often.
constexpr char16_t kTrickyUnits[] = {u'\uFF0F', u'\u3002', u'\uFF03', u'\uFF1F', u'\uFF20', u'\uFF0E', u'\u0101',
                                     u'\u00AD', u'\u00A0', u'\u2215', 0xD800,    0xDC00,    0xD83D,    0,
                                     u'\\',     u'@',      u'?',      u'#',      u'/',      u':',      u'.',
                                     u'\t',     u'\r',     u'\n',     u' ',      u'%',      u'\u0441', u'\u30B5'};

// An address of bytes: bytes above ASCII pick a tricky unit.
std::u16string FromBytes(const std::uint8_t* data, std::size_t size) {
    std::u16string address;
    for (std::size_t i = 0; i < size; ++i)
        address.push_back(data[i] < 0x80 ? char16_t(data[i]) : kTrickyUnits[(data[i] - 0x80) % std::size(kTrickyUnits)]);
    return address;
}

// The browser's strings are wchar_t on Windows: both readings agree.
bool AllowedInBothReadings(std::u16string_view address) {
    const bool allowed = checking::PageAddressIsAllowed(address);
    const std::wstring wide(address.begin(), address.end());
    Require(checking::PageAddressIsAllowed(std::wstring_view(wide)) == allowed);
    return allowed;
}

// In a pair, the first byte 0xFF separates the top-level address from the
// document's; without one the site offers no document.
constexpr std::uint8_t kPairSeparator = 0xFF;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::uint8_t mode = data[0] % 4;
    ++data;
    --size;
    if (mode == 0) {  // a host text
        const std::string_view host(reinterpret_cast<const char*>(data), size);
        if (checking::HostTextIsAllowed(host)) RequireAllowedHost(host);
        return 0;
    }
    if (mode == 3) {  // a top-level page and the document that holds the object
        const std::uint8_t* separator = std::find(data, data + size, kPairSeparator);
        const std::u16string topLevel = FromBytes(data, static_cast<std::size_t>(separator - data));
        std::optional<std::u16string> document;
        if (separator != data + size)
            document = FromBytes(separator + 1, static_cast<std::size_t>(data + size - separator - 1));
        checking::HoldingPage<char16_t> page{topLevel, std::nullopt};
        if (document) page.document = *document;
        const bool allowed = checking::HoldingPageIsAllowed(page, AllowedInBothReadings);
        if (allowed) {
            RequireAllowedAddress(topLevel);
            if (document) RequireAllowedAddress(*document);
        }
        return 0;
    }
    std::u16string address;
    if (mode == 1) {
        address = FromBytes(data, size);
    } else {  // an address of UTF-16 units, little-endian
        for (std::size_t i = 0; i + 1 < size; i += 2) address.push_back(char16_t(data[i] | (data[i + 1] << 8)));
    }
    if (AllowedInBothReadings(address)) RequireAllowedAddress(address);
    return 0;
}
