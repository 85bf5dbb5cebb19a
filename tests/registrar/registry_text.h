// Reading and preparing registry trees in tests, through the same registry
// calls on Wine and on the in-memory stand-in.
#pragma once

#include <string>
#include <vector>

#include "platform/win32.h"

namespace registrar_test {

// Everything below root\path as sorted lines, paths relative to that key:
//   Sub\Key                       a key
//   Sub\Key: @=sz:"text"          its default value (text plus exactly one NUL)
//   Sub\Key: "name"=dword:0000000a
//   Sub\Key: "name"=hex(3):0a,1b  any other type or shape: type and bytes
// Values of the key itself have the path "". Inside quotes '\\', '\"' and
// '\xHH' (bytes outside printable ASCII) are escaped. Empty when the key is absent.
std::vector<std::string> ReadTree(HKEY root, const std::string& path);

// Lines of `after` that are not in `before`.
std::vector<std::string> LinesAdded(const std::vector<std::string>& before,
                                    const std::vector<std::string>& after);

bool KeyExists(HKEY root, const std::string& path);

// The names of the key's subkeys in the order the registry lists them; *ended
// (when given) is the code that ended the listing, ERROR_NO_MORE_ITEMS after
// the last one.
std::vector<std::string> SubkeyNames(HKEY key, LONG* ended = nullptr);

// Creates the key (and the keys above it) and, when valueName is given, sets a
// REG_SZ value (valueName "" is the default value).
void PutKey(HKEY root, const std::string& path);
void PutText(HKEY root, const std::string& path, const char* valueName, const std::string& text);

// Removes the key with everything below it; an absent key is fine.
void RemoveTree(HKEY root, const std::string& path);

std::vector<std::string> Sorted(std::vector<std::string> lines);

}  // namespace registrar_test
