#include "checking/host_suffix.h"

#include "checking/bounded_text.h"

namespace checking {
namespace {

bool IsHostNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.';
}

}  // namespace

bool HostTextIsAllowed(std::string_view hostText) {
    // The parser leaves a port (and, for odd addresses, much else) in the host
    // text; a port such as ":80.talmoren.com" must not be read as labels.
    for (char c : hostText) {
        if (!IsHostNameCharacter(c)) return false;
    }
    // ".www.talmoren.com" or "a..b.talmoren.com" name no host: an empty label
    // anywhere, not only before the suffix, fails.
    if (hostText.empty() || hostText.front() == '.' || hostText.back() == '.' ||
        hostText.find("..") != std::string_view::npos)
        return false;
    const std::size_t lastDot = hostText.rfind('.');
    if (lastDot == std::string_view::npos || lastDot == 0) return false;
    const std::size_t suffixDot = hostText.rfind('.', lastDot - 1);
    if (suffixDot == std::string_view::npos) return false;
    if (!EqualsIgnoringAsciiCase(hostText.substr(suffixDot), kAllowedDomainSuffix)) return false;
    return suffixDot > 0;  // the bare domain names no host under it
}

}  // namespace checking
