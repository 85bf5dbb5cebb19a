// A path of the build machine as a Windows program under Wine opens it:
// "/a/b" is "Z:\a\b" (Wine's drive Z: is the machine's root).
#pragma once

#include <string>
#include <string_view>

namespace tests {

inline std::string WinePath(std::string_view unixPath) {
    std::string path(unixPath);
    if (!path.empty() && path.front() == '/') path.insert(0, "Z:");
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

inline std::wstring WideWinePath(std::string_view unixPath) {
    const std::string path = WinePath(unixPath);
    return std::wstring(path.begin(), path.end());
}

}  // namespace tests
