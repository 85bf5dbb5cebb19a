// Case rules of the stand-in's narrow text: every code page is Latin-1, so a
// byte folds to lower case when it is an ASCII capital or a Latin-1 capital
// (0xC0-0xDE except the multiplication sign 0xD7). Registry names, resource
// names and lstrcmpiA all compare through this one rule.
#pragma once

#include <string_view>

namespace platform::host {

constexpr unsigned char FoldCase(unsigned char c) {
    if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 0x20);
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<unsigned char>(c + 0x20);
    return c;
}

// Negative, zero or positive like strcmp, on the folded bytes.
constexpr int CompareFolded(std::string_view left, std::string_view right) {
    const std::size_t common = left.size() < right.size() ? left.size() : right.size();
    for (std::size_t i = 0; i < common; ++i) {
        const unsigned char a = FoldCase(static_cast<unsigned char>(left[i]));
        const unsigned char b = FoldCase(static_cast<unsigned char>(right[i]));
        if (a != b) return a < b ? -1 : 1;
    }
    if (left.size() == right.size()) return 0;
    return left.size() < right.size() ? -1 : 1;
}

constexpr bool EqualFolded(std::string_view left, std::string_view right) {
    return left.size() == right.size() && CompareFolded(left, right) == 0;
}

}  // namespace platform::host
