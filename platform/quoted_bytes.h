// Registry names and text shown in a readable, reversible form: in double
// quotes, with backslash and quote escaped and every byte outside printable
// ASCII written as \xHH. The in-memory registry's dump and the tests' listings
// of the real registry use the same form, so their texts compare directly.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

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

}  // namespace platform
