// The rule that decides whether a page's host lies under the maker's domain.
#pragma once

#include <string_view>

namespace checking {

// The maker's domain with its leading dot: a dot, a label, a dot, a label.
// The test compares exactly the last two labels of the host with it.
inline constexpr char kAllowedDomainSuffix[] = ".talmoren.com";

// The host text runs from the first character of the host name to the start of
// the page's path. It passes when it is a plain host name (ASCII letters,
// digits, hyphens and dots only: a port, a user part, a query or anything the
// URL parser left in it makes it fail), its last two labels with the dot before
// them equal the suffix ignoring letter case, a label stands before them, and
// no label anywhere is empty. The bare domain fails; any depth of labels
// before it passes.
bool HostTextIsAllowed(std::string_view hostText);

}  // namespace checking
