// The data bytes that a value clause writes, formed from its type and text.
#pragma once

#include "platform/win32.h"

namespace registrar {

struct ValueData {
    // A value text is one token: at most 4095 bytes. The largest data formed
    // from it, a multi-string, is two bytes longer than the text.
    static constexpr DWORD kCapacity = 4100;

    DWORD type = REG_NONE;
    DWORD size = 0;
    BYTE bytes[kCapacity];
};

// Forms the data of a value of the given registry type (REG_SZ, REG_MULTI_SZ,
// REG_DWORD or REG_BINARY) from its text. E_FAIL for a binary text of an odd
// number of bytes, E_OUTOFMEMORY when a number's text can't be converted,
// E_INVALIDARG for a text too long for the data buffer or another type.
HRESULT FormValueData(DWORD type, const char* text, ValueData& data);

}  // namespace registrar
