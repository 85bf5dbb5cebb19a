#include "bridge/protocol/utf.h"

namespace bridge {
namespace {

constexpr char32_t kHighSurrogateFirst = 0xD800;
constexpr char32_t kLowSurrogateFirst = 0xDC00;
constexpr char32_t kSurrogateEnd = 0xE000;

struct Decoded {
    char32_t codePoint;
    std::size_t length;  // 0: not well formed
};

// One character of UTF-8 at `at`, by the table of well-formed byte sequences:
// the second byte's range depends on the first, which rules out overlong
// forms, surrogates and code points beyond U+10FFFF.
Decoded DecodeOne(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
    const unsigned char first = byte(0);
    if (first < 0x80) return {first, 1};
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;
    char32_t value = 0;
    if (first >= 0xC2 && first <= 0xDF) {
        length = 2;
        value = first & 0x1F;
    } else if (first >= 0xE0 && first <= 0xEF) {
        length = 3;
        value = first & 0x0F;
        if (first == 0xE0) low = 0xA0;
        if (first == 0xED) high = 0x9F;
    } else if (first >= 0xF0 && first <= 0xF4) {
        length = 4;
        value = first & 0x07;
        if (first == 0xF0) low = 0x90;
        if (first == 0xF4) high = 0x8F;
    } else {
        return {0, 0};
    }
    if (text.size() - at < length) return {0, 0};
    for (std::size_t i = 1; i < length; ++i) {
        const unsigned char next = byte(i);
        if (next < (i == 1 ? low : 0x80) || next > (i == 1 ? high : 0xBF)) return {0, 0};
        value = (value << 6) | (next & 0x3F);
    }
    return {value, length};
}

}  // namespace

std::optional<std::size_t> FirstInvalidUtf8(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        const Decoded one = DecodeOne(text, at);
        if (one.length == 0) return at;
        at += one.length;
    }
    return std::nullopt;
}

std::optional<std::u16string> Utf8ToUtf16(std::string_view text) {
    std::u16string wide;
    wide.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const Decoded one = DecodeOne(text, at);
        if (one.length == 0) return std::nullopt;
        at += one.length;
        if (one.codePoint < 0x10000) {
            wide.push_back(static_cast<char16_t>(one.codePoint));
        } else {
            const char32_t offset = one.codePoint - 0x10000;
            wide.push_back(static_cast<char16_t>(kHighSurrogateFirst + (offset >> 10)));
            wide.push_back(static_cast<char16_t>(kLowSurrogateFirst + (offset & 0x3FF)));
        }
    }
    return wide;
}

std::optional<std::string> Utf16ToUtf8(std::u16string_view text) {
    std::string narrow;
    narrow.reserve(text.size());
    for (std::size_t at = 0; at < text.size(); ++at) {
        char32_t value = text[at];
        if (value >= kHighSurrogateFirst && value < kSurrogateEnd) {
            const bool paired = value < kLowSurrogateFirst && at + 1 < text.size() &&
                                text[at + 1] >= kLowSurrogateFirst && text[at + 1] < kSurrogateEnd;
            if (!paired) return std::nullopt;
            value = 0x10000 + ((value - kHighSurrogateFirst) << 10) + (text[++at] - kLowSurrogateFirst);
        }
        if (value < 0x80) {
            narrow.push_back(static_cast<char>(value));
        } else if (value < 0x800) {
            narrow.push_back(static_cast<char>(0xC0 | (value >> 6)));
            narrow.push_back(static_cast<char>(0x80 | (value & 0x3F)));
        } else if (value < 0x10000) {
            narrow.push_back(static_cast<char>(0xE0 | (value >> 12)));
            narrow.push_back(static_cast<char>(0x80 | ((value >> 6) & 0x3F)));
            narrow.push_back(static_cast<char>(0x80 | (value & 0x3F)));
        } else {
            narrow.push_back(static_cast<char>(0xF0 | (value >> 18)));
            narrow.push_back(static_cast<char>(0x80 | ((value >> 12) & 0x3F)));
            narrow.push_back(static_cast<char>(0x80 | ((value >> 6) & 0x3F)));
            narrow.push_back(static_cast<char>(0x80 | (value & 0x3F)));
        }
    }
    return narrow;
}

}  // namespace bridge
