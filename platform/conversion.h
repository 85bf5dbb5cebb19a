// Narrow/wide conversion with the code page chosen once per process, and the
// mapping of system error codes to statuses.
#pragma once

#include <cstddef>
#include <string>

#include "platform/win32.h"

namespace platform {

using WideString = std::basic_string<OLECHAR>;

// e itself when e is zero or negative, else 0x80070000 with the low 16 bits of e.
constexpr HRESULT HresultFromWin32(LONG code) {
    return code <= 0 ? static_cast<HRESULT>(code)
                     : static_cast<HRESULT>(0x80070000u | (static_cast<DWORD>(code) & 0xFFFFu));
}

// Chosen at the first call and published with an interlocked exchange:
// CP_THREAD_ACP on Windows NT 5.0 or later, else the thread locale's default
// ANSI code page, else the system's ANSI code page.
UINT ConversionCodePage();

// UTF-16 to narrow: WideCharToMultiByte with flags 0, up to the text's first
// NUL, into a buffer measured first, so that a text converts whole whatever
// the code page makes of each character (3 bytes and more under UTF-8). A
// null text gives the empty text. Fails (returns false) when the conversion
// fails.
bool ToNarrow(const OLECHAR* text, std::string& narrow);

// The narrow text of the longest run of whole characters from the start of
// the first `length` units of `text` whose narrow form has at most `limit`
// bytes: a cut never falls inside a double-byte or multi-byte character, nor
// between the two halves of a surrogate pair. False when a conversion fails.
bool ToNarrowWithin(const OLECHAR* text, std::size_t length, std::size_t limit, std::string& narrow);

// Narrow to a new BSTR: the UTF-16 length is measured first, a BSTR of exactly
// that many units is allocated through the allocation seam and filled. A text
// of length zero gives a BSTR of length zero. Null when out of memory or when
// the conversion does not give the count it measured.
BSTR NarrowToString(const char* text);

// Narrow to UTF-16 (measured first); false when the conversion fails.
bool ToWide(const char* text, WideString& wide);

}  // namespace platform
