#include "checking/page_address.h"

#include <cstdint>
#include <type_traits>

#include "checking/bounded_text.h"
#include "checking/host_suffix.h"

namespace checking {
namespace {

template <typename Unit>
std::uint32_t CodeOf(Unit unit) {
    return static_cast<std::uint32_t>(static_cast<std::make_unsigned_t<Unit>>(unit));
}

bool IsPrintableAscii(std::uint32_t code) { return code > 0x20 && code < 0x7F; }

bool EndsAuthority(std::uint32_t code) { return code == '/' || code == '?' || code == '#'; }

template <typename Unit>
bool SchemeIsWeb(std::basic_string_view<Unit> scheme) {
    std::string ascii;
    for (Unit unit : scheme) {
        const std::uint32_t code = CodeOf(unit);
        if (!IsPrintableAscii(code)) return false;
        ascii.push_back(static_cast<char>(code));
    }
    return EqualsIgnoringAsciiCase(ascii, "http") || EqualsIgnoringAsciiCase(ascii, "https");
}

}  // namespace

template <typename Unit>
std::optional<AddressParts> SplitPageAddress(std::basic_string_view<Unit> address) {
    for (Unit unit : address) {
        if (CodeOf(unit) == 0) return std::nullopt;
    }
    const std::size_t colon = address.find(static_cast<Unit>(':'));
    if (colon == std::basic_string_view<Unit>::npos || !SchemeIsWeb(address.substr(0, colon))) return std::nullopt;
    const std::size_t authorityStart = colon + 3;
    if (address.size() < authorityStart || CodeOf(address[colon + 1]) != '/' || CodeOf(address[colon + 2]) != '/')
        return std::nullopt;

    AddressParts parts;
    parts.hostStart = authorityStart;
    std::size_t end = authorityStart;
    for (; end < address.size(); ++end) {
        const std::uint32_t code = CodeOf(address[end]);
        if (EndsAuthority(code)) break;
        if (!IsPrintableAscii(code) || code == '\\') return std::nullopt;
        if (code == '@') parts.hostStart = end + 1;
    }
    parts.authorityEnd = end;
    return parts;
}

template <typename Unit>
std::string HostText(std::basic_string_view<Unit> address, const AddressParts& parts) {
    std::string host;
    for (std::size_t i = parts.hostStart; i < parts.authorityEnd && i < address.size(); ++i)
        host.push_back(static_cast<char>(CodeOf(address[i])));
    return host;
}

template <typename Unit>
bool PageAddressIsAllowed(std::basic_string_view<Unit> address) {
    const std::optional<AddressParts> parts = SplitPageAddress(address);
    return parts && HostTextIsAllowed(HostText(address, *parts));
}

// The browser's strings are wchar_t on Windows; the native tools use char16_t.
template std::optional<AddressParts> SplitPageAddress(std::basic_string_view<wchar_t>);
template std::optional<AddressParts> SplitPageAddress(std::basic_string_view<char16_t>);
template std::string HostText(std::basic_string_view<wchar_t>, const AddressParts&);
template std::string HostText(std::basic_string_view<char16_t>, const AddressParts&);
template bool PageAddressIsAllowed(std::basic_string_view<wchar_t>);
template bool PageAddressIsAllowed(std::basic_string_view<char16_t>);

}  // namespace checking
