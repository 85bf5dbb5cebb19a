// The keys under HKEY_CLASSES_ROOT that the server's scripts write, read and
// removed by the tests that run those scripts.
#pragma once

#include <string>
#include <vector>

namespace registrar_test {

// An application identifier that tests pass in place of the server's.
extern const std::string kOtherAppid;

// The keys that the scripts write, with everything below them, and the shared
// keys "AppID" and "CLSID" (without what they hold), as registry_text lines.
std::vector<std::string> OurEntries();

void RemoveOurKeys();

}  // namespace registrar_test
