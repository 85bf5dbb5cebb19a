// GUIDs and their 38-character text "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
#include <cstring>

#include "platform/win32.h"

bool operator==(const GUID& a, const GUID& b) {
    return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 &&
           std::memcmp(a.Data4, b.Data4, sizeof(a.Data4)) == 0;
}

namespace {

constexpr int kGuidTextLength = 38;

int HexDigit(OLECHAR c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

// Reads `digits` hex digits at text[at]; false when one isn't.
bool ReadHex(const OLECHAR* text, int at, int digits, std::uint32_t& value) {
    value = 0;
    for (int i = 0; i < digits; ++i) {
        const int digit = HexDigit(text[at + i]);
        if (digit < 0) return false;
        value = value * 16 + static_cast<std::uint32_t>(digit);
    }
    return true;
}

}  // namespace

// Only the braced 38-character form is read (either case of hex digits). The
// platform also resolves a registered ProgID here; nothing in the system asks
// for that, and the stand-in does not. A null text is the null GUID, as there.
HRESULT CLSIDFromString(LPCOLESTR text, LPCLSID clsid) {
    if (clsid == nullptr) return E_INVALIDARG;
    *clsid = GUID{};
    if (text == nullptr) return S_OK;
    int length = 0;
    while (length <= kGuidTextLength && text[length] != 0) ++length;
    if (length != kGuidTextLength || text[0] != u'{' || text[37] != u'}' || text[9] != u'-' || text[14] != u'-' ||
        text[19] != u'-' || text[24] != u'-')
        return CO_E_CLASSSTRING;
    GUID parsed{};
    std::uint32_t part = 0;
    if (!ReadHex(text, 1, 8, parsed.Data1)) return CO_E_CLASSSTRING;
    if (!ReadHex(text, 10, 4, part)) return CO_E_CLASSSTRING;
    parsed.Data2 = static_cast<std::uint16_t>(part);
    if (!ReadHex(text, 15, 4, part)) return CO_E_CLASSSTRING;
    parsed.Data3 = static_cast<std::uint16_t>(part);
    static constexpr int kByteAt[8] = {20, 22, 25, 27, 29, 31, 33, 35};
    for (int i = 0; i < 8; ++i) {
        if (!ReadHex(text, kByteAt[i], 2, part)) return CO_E_CLASSSTRING;
        parsed.Data4[i] = static_cast<std::uint8_t>(part);
    }
    *clsid = parsed;
    return S_OK;
}

// Upper-case hex like the platform; the count written includes the NUL, 0 when
// the buffer holds fewer than 39 units.
int StringFromGUID2(REFGUID guid, LPOLESTR buffer, int capacity) {
    if (buffer == nullptr || capacity < kGuidTextLength + 1) return 0;
    static constexpr char kHex[] = "0123456789ABCDEF";
    int at = 0;
    auto put = [&](std::uint32_t value, int digits) {
        for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) buffer[at++] = static_cast<OLECHAR>(kHex[(value >> shift) & 0xF]);
    };
    buffer[at++] = u'{';
    put(guid.Data1, 8);
    buffer[at++] = u'-';
    put(guid.Data2, 4);
    buffer[at++] = u'-';
    put(guid.Data3, 4);
    buffer[at++] = u'-';
    put(guid.Data4[0], 2);
    put(guid.Data4[1], 2);
    buffer[at++] = u'-';
    for (int i = 2; i < 8; ++i) put(guid.Data4[i], 2);
    buffer[at++] = u'}';
    buffer[at++] = 0;
    return at;
}
