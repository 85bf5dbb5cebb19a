// The open handles of the native stand-in's registry, for tests that check
// that every key opened was closed again (native host build only).
#pragma once

#include <cstddef>
#include <string>

namespace registry_handles {

// Handles opened with RegOpenKeyExA/RegCreateKeyExA and not yet closed.
std::size_t OpenHandles();
// One line per open handle, "HANDLE path", for a failing test's message.
std::string DescribeOpenHandles();

}  // namespace registry_handles
