#include "registrar/value_data.h"

#include <cstring>

#include "registrar/script_parser.h"
#include "registrar/text_conversion.h"

namespace registrar {
namespace {

HRESULT FormString(const char* text, size_t length, ValueData& data) {
    if (length + 1 > ValueData::kCapacity) return E_INVALIDARG;
    std::memcpy(data.bytes, text, length + 1);
    data.size = static_cast<DWORD>(length + 1);
    return S_OK;
}

// A text read as a decimal number; a text that the parser rejects writes 0.
HRESULT FormNumber(const char* text, ValueData& data) {
    platform::WideString wide;
    if (!NarrowToWide(text, wide)) return E_OUTOFMEMORY;
    ULONG number = 0;
    if (FAILED(VarUI4FromStr(wide.data(), 0, 0, &number))) number = 0;
    const DWORD value = number;
    std::memcpy(data.bytes, &value, sizeof(value));
    data.size = sizeof(value);
    return S_OK;
}

// Pairs of hexadecimal digits, the high half first.
HRESULT FormBinary(const char* text, size_t length, ValueData& data) {
    if (length % 2 != 0) return E_FAIL;
    if (length / 2 > ValueData::kCapacity) return E_INVALIDARG;
    for (size_t i = 0; i < length / 2; ++i) {
        data.bytes[i] = static_cast<BYTE>(16 * ScriptParser::HexDigitValue(text[2 * i]) +
                                          ScriptParser::HexDigitValue(text[2 * i + 1]));
    }
    data.size = static_cast<DWORD>(length / 2);
    return S_OK;
}

// Backslash-zero separates the strings; the first empty string ends the list.
HRESULT FormMultiString(const char* text, size_t length, ValueData& data) {
    if (length + 2 > ValueData::kCapacity) return E_INVALIDARG;
    // First the text with each backslash-zero made a NUL; both bytes of a
    // double-byte character are copied as they are.
    BYTE converted[ValueData::kCapacity];
    size_t count = 0;
    for (size_t i = 0; i < length;) {
        if (text[i] == '\\' && text[i + 1] == '0') {
            converted[count++] = 0;
            i += 2;
        } else if (IsDBCSLeadByte(static_cast<BYTE>(text[i])) && i + 1 < length) {
            converted[count++] = static_cast<BYTE>(text[i]);
            converted[count++] = static_cast<BYTE>(text[i + 1]);
            i += 2;
        } else {
            converted[count++] = static_cast<BYTE>(text[i]);
            ++i;
        }
    }
    // Then each non-empty segment with its NUL, and one more NUL.
    size_t size = 0;
    for (size_t i = 0; i < count;) {
        const size_t start = i;
        while (i < count && converted[i] != 0) ++i;
        if (i == start) break;
        std::memcpy(data.bytes + size, converted + start, i - start);
        size += i - start;
        data.bytes[size++] = 0;
        ++i;  // past the NUL that ended the segment, or past the end
    }
    data.bytes[size++] = 0;
    data.size = static_cast<DWORD>(size);
    return S_OK;
}

}  // namespace

HRESULT FormValueData(DWORD type, const char* text, ValueData& data) {
    data.type = type;
    data.size = 0;
    const size_t length = std::strlen(text);
    switch (type) {
        case REG_SZ:
            return FormString(text, length, data);
        case REG_DWORD:
            return FormNumber(text, data);
        case REG_BINARY:
            return FormBinary(text, length, data);
        case REG_MULTI_SZ:
            return FormMultiString(text, length, data);
        default:
            return E_INVALIDARG;
    }
}

}  // namespace registrar
