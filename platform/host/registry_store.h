// Test support for the stand-in's in-memory registry (native host build only).
//
// The store behaves like the platform's registry for what the system relies on:
// seven predefined roots, keys holding named typed values and a default value,
// names compared without regard to case and kept as first written, handles
// that must be closed. HKEY_CLASSES_ROOT is a view of
// HKEY_LOCAL_MACHINE\SOFTWARE\Classes, the place where a machine-wide
// registration lands, so that what a registration writes under
// HKEY_CLASSES_ROOT is read back under HKEY_LOCAL_MACHINE as on Windows.
//
// Text form (Dump writes it, Seed reads it); one line each, keys in
// depth-first order, subkeys and values sorted by name without regard to case:
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

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/win32.h"

namespace platform::registry_store {

// Empties every root and forgets every handle (old handles become invalid),
// and removes the call filter.
void Reset();

// Handles opened with RegOpenKeyExA/RegCreateKeyExA and not yet closed.
std::size_t OpenHandles();
// One line per open handle, "HANDLE path", for a failing test's message.
std::string DescribeOpenHandles();

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

// The registry calls that a call filter sees.
enum class Operation {
    Open,         // RegOpenKeyExA
    Create,       // RegCreateKeyExA
    QueryValue,   // RegQueryValueExA
    SetValue,     // RegSetValueExA
    DeleteValue,  // RegDeleteValueA
    DeleteKey,    // RegDeleteKeyA
    EnumKey,      // RegEnumKeyExA
    EnumValue,    // RegEnumValueA
    QueryInfo,    // RegQueryInfoKeyA
    Close,        // RegCloseKey (the handle stays open)
};
// Consulted first by every registry call, under the store's lock: when it
// answers true the call answers *code (a failure; ERROR_SUCCESS is taken as
// ERROR_INVALID_FUNCTION) and changes nothing. It is how a test
// makes the registry refuse a chosen call; the stand-in itself keeps no
// schedule of failures. Null (the default, and after Reset) lets every call
// through.
using CallFilter = bool (*)(Operation operation, LONG* code);
void SetCallFilter(CallFilter filter);
CallFilter GetCallFilter();

}  // namespace platform::registry_store
