// The two number formats of the answers: a file version as four dotted
// decimal parts, and the package version as "0x" and eight hexadecimal digits.
#pragma once

#include <cstddef>
#include <cstdint>

namespace checking {

// "%d.%d.%d.%d" of the four unsigned 16-bit halves, most significant first:
// 7 to 23 characters. False when the buffer is too small (the text is cut).
bool FormatFileVersion(char* buffer, std::size_t capacity, std::uint32_t versionMs, std::uint32_t versionLs);

// "0x%08X": always 10 characters.
bool FormatPackageVersion(char* buffer, std::size_t capacity, std::uint32_t version);

}  // namespace checking
