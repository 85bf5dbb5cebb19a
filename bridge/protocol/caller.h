// Which browser extension started the host. The browser names it on the
// command line: Chromium browsers pass the extension's origin,
// "chrome-extension://ID/", first (and may add options of their own after it);
// Firefox passes the path of the host's manifest, then the add-on's id.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace bridge {

struct AllowedCallers {
    std::span<const std::string_view> extensionIds;  // Chromium extension ids
    std::string_view addonId;                        // the Firefox add-on id
};

// Empty when the arguments (after the program's name) name a caller that is
// allowed; otherwise one line on who asked and why that is refused.
std::string CallerProblem(std::span<const std::string> arguments, const AllowedCallers& allowed);

}  // namespace bridge
