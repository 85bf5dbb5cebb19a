// Registry names and text shown in a readable, reversible form: in double
// quotes, with backslash and quote escaped and every byte outside printable
// ASCII written as \xHH. The in-memory registry's dump and the tests' listings
// of the real registry use the same form, so their texts compare directly.
#pragma once

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/win32.h"

namespace platform {

inline void AppendQuotedBytes(std::string& out, const unsigned char* bytes, std::size_t count) {
    out += '"';
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned char b = bytes[i];
        if (b == '\\' || b == '"') {
            out += '\\';
            out += static_cast<char>(b);
        } else if (b >= 0x20 && b <= 0x7E) {
            out += static_cast<char>(b);
        } else {
            char escaped[5];
            std::snprintf(escaped, sizeof(escaped), "\\x%02X", b);
            out += escaped;
        }
    }
    out += '"';
}

// A value as `name=data`: the name quoted, or "@" for the default value; the
// data as sz:"text" for text with exactly one NUL, at its end; as
// dword:0000000a for a REG_DWORD of exactly 4 bytes; else as its type and
// bytes, hex(3):0a,1b.
inline void AppendValueText(std::string& out, std::string_view name, DWORD type, const BYTE* data,
                            std::size_t size) {
    if (name.empty()) {
        out += '@';
    } else {
        AppendQuotedBytes(out, reinterpret_cast<const BYTE*>(name.data()), name.size());
    }
    out += '=';
    char text[32];
    const bool plainText = type == REG_SZ && size != 0 && data[size - 1] == 0 &&
                           std::memchr(data, 0, size - 1) == nullptr;
    if (plainText) {
        out += "sz:";
        AppendQuotedBytes(out, data, size - 1);
    } else if (type == REG_DWORD && size == 4) {
        const DWORD number = DWORD{data[0]} | DWORD{data[1]} << 8 | DWORD{data[2]} << 16 | DWORD{data[3]} << 24;
        std::snprintf(text, sizeof(text), "dword:%08x", static_cast<unsigned>(number));
        out += text;
    } else {
        std::snprintf(text, sizeof(text), "hex(%x):", static_cast<unsigned>(type));
        out += text;
        for (std::size_t i = 0; i < size; ++i) {
            std::snprintf(text, sizeof(text), i == 0 ? "%02x" : ",%02x", data[i]);
            out += text;
        }
    }
}

}  // namespace platform
