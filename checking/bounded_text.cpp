#include "checking/bounded_text.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>

#ifdef _WIN32
// The platform's bounded formatter (over the system C library's). The C++
// library's own vsnprintf is MinGW's complete C99 formatter, floating point
// and wide conversions included, some 25 KB for four integer and text formats.
#include <strsafe.h>
#endif

namespace checking {

bool BoundedAppend(char* buffer, std::size_t capacity, const char* text) {
    std::size_t end = 0;
    while (end < capacity && buffer[end] != '\0') ++end;
    if (end == capacity) return false;  // not a terminated text: leave it alone

    std::size_t position = end;
    for (; *text != '\0'; ++text) {
        if (position == capacity) {
            buffer[capacity - 1] = '\0';
            return false;
        }
        buffer[position++] = *text;
    }
    if (position == capacity) {  // the text fitted, its terminator did not
        buffer[capacity - 1] = '\0';
        return false;
    }
    buffer[position] = '\0';
    return true;
}

bool BoundedFormat(char* buffer, std::size_t capacity, const char* format, ...) {
    if (capacity == 0 || capacity > static_cast<std::size_t>(INT32_MAX)) return false;
    va_list arguments;
    va_start(arguments, format);
#ifdef _WIN32
    // Writes at most capacity - 1 characters and a terminator; a result that is
    // cut says so.
    const HRESULT status = StringCchVPrintfA(buffer, capacity, format, arguments);
    va_end(arguments);
    if (status == STRSAFE_E_INSUFFICIENT_BUFFER) return false;
    if (FAILED(status)) {
        buffer[0] = '\0';
        return false;
    }
    return true;
#else
    const int needed = std::vsnprintf(buffer, capacity, format, arguments);
    va_end(arguments);
    if (needed < 0) {
        buffer[0] = '\0';
        return false;
    }
    if (static_cast<std::size_t>(needed) >= capacity) {
        buffer[capacity - 1] = '\0';  // some runtimes leave a cut text unterminated
        return false;
    }
    return true;
#endif
}

bool EqualsIgnoringAsciiCase(std::string_view left, std::string_view right) {
    if (left.size() != right.size()) return false;
    for (std::size_t i = 0; i < left.size(); ++i) {
        auto fold = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
        if (fold(left[i]) != fold(right[i])) return false;
    }
    return true;
}

}  // namespace checking
