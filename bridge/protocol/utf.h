// UTF-8, the browser's side of the channel, and UTF-16, the object's side.
// Both directions are exact: every character, NULs included, comes through
// unchanged, and text that has no exact form on the other side is refused
// rather than patched.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace bridge {

// The offset of the first byte that does not belong to well-formed UTF-8
// (overlong forms, encoded surrogates and code points above U+10FFFF
// included), or nothing when the whole text is well formed.
std::optional<std::size_t> FirstInvalidUtf8(std::string_view text);

// The UTF-16 form of well-formed UTF-8; nothing when it is not well formed.
std::optional<std::u16string> Utf8ToUtf16(std::string_view text);

// The UTF-8 form of UTF-16 text; nothing when it holds a surrogate without
// its other half.
std::optional<std::string> Utf16ToUtf8(std::u16string_view text);

}  // namespace bridge
