// Control of the stand-in's in-memory registry (native host build only).
//
// The store behaves like the platform's registry for what the system relies on:
// seven predefined roots, keys holding named typed values and a default value,
// names compared without regard to case and kept as first written, handles
// that must be closed. HKEY_CLASSES_ROOT is a view of
// HKEY_LOCAL_MACHINE\SOFTWARE\Classes, the place where a machine-wide
// registration lands, so that what a registration writes under
// HKEY_CLASSES_ROOT is read back under HKEY_LOCAL_MACHINE as on Windows.
//
// The registry functions are the way in. Beyond them, what walks or builds the
// tree holds its lock and sees it through registry_tree.h; that is how the
// text form that seeds and dumps it (in tools/registry_dump) reaches it.
#pragma once

#include "platform/win32.h"

namespace platform::registry_store {

// Empties every root and forgets every handle (old handles become invalid),
// and removes the call filter.
void Reset();

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
