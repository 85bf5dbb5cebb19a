// Automation strings of the stand-in: a BSTR points at UTF-16 units that follow
// a 32-bit byte count and are followed by a NUL, like the platform's, so that a
// BSTR may hold NULs and a null BSTR differs from an empty one.
#include <cstdlib>
#include <cstring>
#include <limits>

#include "platform/win32.h"

namespace {

constexpr std::size_t kPrefix = sizeof(std::uint32_t);
// The byte count must fit the 32-bit prefix, terminator included.
constexpr UINT kMaxLength = (std::numeric_limits<std::uint32_t>::max() - kPrefix) / sizeof(OLECHAR) - 1;

std::byte* Block(BSTR text) { return reinterpret_cast<std::byte*>(text) - kPrefix; }

std::size_t UnitsUpToNul(const OLECHAR* text) {
    std::size_t length = 0;
    while (text[length] != 0) ++length;
    return length;
}

}  // namespace

BSTR SysAllocStringLen(const OLECHAR* text, UINT length) {
    if (length > kMaxLength) return nullptr;
    const std::size_t bytes = std::size_t{length} * sizeof(OLECHAR);
    auto* block = static_cast<std::byte*>(std::malloc(kPrefix + bytes + sizeof(OLECHAR)));
    if (block == nullptr) return nullptr;
    const auto count = static_cast<std::uint32_t>(bytes);
    std::memcpy(block, &count, kPrefix);
    auto* units = reinterpret_cast<OLECHAR*>(block + kPrefix);
    // The platform leaves a sourceless string's content undefined; zero is the kindest undefined.
    if (text != nullptr) {
        std::memcpy(units, text, bytes);
    } else {
        std::memset(units, 0, bytes);
    }
    units[length] = 0;
    return units;
}

BSTR SysAllocString(const OLECHAR* text) {
    if (text == nullptr) return nullptr;
    const std::size_t length = UnitsUpToNul(text);
    if (length > kMaxLength) return nullptr;
    return SysAllocStringLen(text, static_cast<UINT>(length));
}

void SysFreeString(BSTR text) {
    if (text != nullptr) std::free(Block(text));
}

UINT SysStringLen(BSTR text) {
    if (text == nullptr) return 0;
    std::uint32_t bytes = 0;
    std::memcpy(&bytes, Block(text), kPrefix);
    return bytes / sizeof(OLECHAR);
}

HRESULT VarBstrCat(BSTR left, BSTR right, BSTR* joined) {
    if (joined == nullptr) return E_INVALIDARG;
    const UINT leftLength = SysStringLen(left);
    const UINT rightLength = SysStringLen(right);
    if (rightLength > kMaxLength - leftLength) return E_OUTOFMEMORY;
    BSTR result = SysAllocStringLen(nullptr, leftLength + rightLength);
    if (result == nullptr) return E_OUTOFMEMORY;
    if (leftLength != 0) std::memcpy(result, left, std::size_t{leftLength} * sizeof(OLECHAR));
    if (rightLength != 0) std::memcpy(result + leftLength, right, std::size_t{rightLength} * sizeof(OLECHAR));
    *joined = result;
    return S_OK;
}

// Decimal text, optionally signed and surrounded by blanks, as the platform
// reads it in the plain cases. Thousands separators, fractions and exponents,
// which the platform also takes, are refused here.
HRESULT VarUI4FromStr(OLECHAR* text, LCID, ULONG, ULONG* number) {
    if (number == nullptr) return E_INVALIDARG;
    if (text == nullptr) return DISP_E_TYPEMISMATCH;
    auto blank = [](OLECHAR c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; };
    const OLECHAR* at = text;
    while (blank(*at)) ++at;
    bool negative = false;
    if (*at == u'+' || *at == u'-') negative = *at++ == u'-';
    std::uint64_t value = 0;
    bool overflow = false;
    const OLECHAR* digits = at;
    for (; *at >= u'0' && *at <= u'9'; ++at) {
        value = value * 10 + static_cast<unsigned>(*at - u'0');
        if (value > std::numeric_limits<std::uint32_t>::max()) {
            overflow = true;
            value = std::numeric_limits<std::uint32_t>::max() + std::uint64_t{1};  // keeps the sum bounded
        }
    }
    if (at == digits) return DISP_E_TYPEMISMATCH;
    while (blank(*at)) ++at;
    if (*at != 0) return DISP_E_TYPEMISMATCH;
    if (overflow || (negative && value != 0)) return DISP_E_OVERFLOW;
    *number = static_cast<ULONG>(value);
    return S_OK;
}
