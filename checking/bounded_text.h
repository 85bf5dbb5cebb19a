// Text helpers with fixed capacities: the checking state keeps its paths and
// versions in narrow buffers of 260 characters, and every write into them is
// bounded so that no registry value or page argument can run past their end.
// Nothing here needs Windows, so the rules are also exercised natively.
#pragma once

#include <cstddef>
#include <string_view>

namespace checking {

// The path limit of the platform: 260 narrow characters, terminator included.
inline constexpr std::size_t kPathCapacity = 260;

// Appends `text` to the terminated text in `buffer` (capacity counts the
// terminator). Fails without touching the buffer when no terminator lies
// within the capacity. When the room runs out, the buffer keeps a truncated,
// terminated text and the append fails.
bool BoundedAppend(char* buffer, std::size_t capacity, const char* text);

// printf-style formatting that writes at most capacity - 1 characters and
// always a terminator. A result that doesn't fit is cut and reported as a
// failure. A capacity of 0, or one above the largest signed 32-bit value,
// fails without writing. On Windows the formats are the system C library's,
// which knows the integer and text conversions the checks use, not C99's %z.
bool BoundedFormat(char* buffer, std::size_t capacity, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// Equality that folds only the ASCII letters. Locale-aware comparisons treat
// some bytes (a soft hyphen, for one) as invisible; the domain and version
// checks must not.
bool EqualsIgnoringAsciiCase(std::string_view left, std::string_view right);

}  // namespace checking
