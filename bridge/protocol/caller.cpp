#include "bridge/protocol/caller.h"

#include <algorithm>

namespace bridge {
namespace {

constexpr std::string_view kChromiumScheme = "chrome-extension://";

// A caller's name as a line can show it: printable ASCII, cut short.
std::string Shown(std::string_view text) {
    constexpr std::size_t kLongest = 200;
    std::string shown;
    for (const char c : text.substr(0, kLongest)) shown.push_back(c >= 0x20 && c < 0x7F ? c : '?');
    if (text.size() > kLongest) shown += "...";
    return "\"" + shown + "\"";
}

}  // namespace

std::string CallerProblem(std::span<const std::string> arguments, const AllowedCallers& allowed) {
    if (arguments.empty()) return "no caller was named: the host is started by a browser, which names its extension";
    const std::string_view first = arguments[0];
    if (first.starts_with(kChromiumScheme)) {
        std::string_view id = first.substr(kChromiumScheme.size());
        const bool wellFormed = id.ends_with('/');
        if (wellFormed) id.remove_suffix(1);
        if (wellFormed && std::find(allowed.extensionIds.begin(), allowed.extensionIds.end(), id) !=
                              allowed.extensionIds.end())
            return {};
        return "the extension " + Shown(first) + " is not one this host serves";
    }
    if (arguments.size() == 2) {
        if (arguments[1] == allowed.addonId) return {};
        return "the add-on " + Shown(arguments[1]) + " is not one this host serves";
    }
    return "the caller " + Shown(first) + " is neither an extension's origin nor a manifest and an add-on id";
}

}  // namespace bridge
