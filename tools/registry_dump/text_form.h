// The text form of the native stand-in's in-memory registry (host build only):
// what scriptrun, the benchmarks and the tests seed it with and read back.
//
// One line each, keys in depth-first order, subkeys and values sorted by name
// without regard to case:
//
//   [HKEY_LOCAL_MACHINE\SOFTWARE\Classes\Tervagon.ControlInstaller]
//   @=sz:"ControlInstaller Class"          the default value
//   "ThreadingModel"=sz:"Apartment"        REG_SZ holding text plus one NUL
//   "version"=dword:00010002               REG_DWORD of exactly 4 bytes
//   "Data"=hex(3):01,ab                    anything else: type (hex) and bytes
//
// Inside quotes, '\\' stands for a backslash, '\"' for a quote and '\xHH' for
// any byte outside the printable ASCII range. A key name is written as it is
// unless it holds such a byte or begins with a quote; then it is quoted in the
// same way, so that every dump seeds back to the same tree. Every key gets a line except the
// roots (which get one only when they hold values) and the always-present
// HKEY_LOCAL_MACHINE\SOFTWARE\Classes and its parent, which appear only when
// they hold values. An empty store dumps as the empty text. Seed also accepts
// blank lines, lines starting with ';', and the short root names (HKCR, HKLM...).
#pragma once

#include <string>
#include <string_view>

#include "platform/win32.h"

namespace registry_dump {

// The whole store in the text form above.
std::string Dump();
// The same, except that a key or value written through HKEY_CLASSES_ROOT is
// listed under that root instead of under HKEY_LOCAL_MACHINE\SOFTWARE\Classes,
// so that a script's writes show under the root the script named. Seed reads
// it back as well.
std::string DumpAsWritten();
// The key at root\path and everything below it, named from the given root
// (so Dump(HKEY_CLASSES_ROOT, "CLSID") names its keys "HKEY_CLASSES_ROOT\CLSID\...").
// The empty text when the key does not exist.
std::string Dump(HKEY root, std::string_view path);

// Adds the keys and values of a text in the form above (values with the same
// name are replaced). On a malformed line nothing more is added, false is
// returned and *error (when given) says which line and why.
bool Seed(std::string_view text, std::string* error = nullptr);

}  // namespace registry_dump
