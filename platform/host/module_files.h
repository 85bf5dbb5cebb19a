// Test support for the stand-in's module and resource services (native host
// build only).
//
// The stand-in keeps a table of "module files": a path and the resources that
// the file carries, each named by a type and a number. The module functions of
// win32_api.h work on it as the platform works on files on disk:
//
// - LoadLibraryExA(path, nullptr, flags) loads a module file (path compared
//   without regard to case) and answers a new handle; with
//   LOAD_LIBRARY_AS_DATAFILE every call maps the file anew (a handle with the
//   low bit set, which GetModuleFileNameA does not know), without it repeated
//   loads share one counted handle. A missing file fails with
//   ERROR_FILE_NOT_FOUND as a data file and ERROR_MOD_NOT_FOUND otherwise.
//   The loaded module owns a copy of the resources: bytes read through it are
//   gone once FreeLibrary has released it, as with a mapped file.
// - FindResourceA(module, name, type): names and types are MAKEINTRESOURCEA
//   numbers, "#n" texts or type names (compared without regard to case).
//   ERROR_RESOURCE_DATA_NOT_FOUND when the module has no resources at all,
//   ERROR_RESOURCE_TYPE_NOT_FOUND when none has the type,
//   ERROR_RESOURCE_NAME_NOT_FOUND when the type has no such number.
// - LoadResource/LockResource give the bytes (exactly as put, no terminator is
//   added), SizeofResource their count.
// - GetModuleFileNameA answers the path of an attached module (below), of a
//   module loaded without LOAD_LIBRARY_AS_DATAFILE, or, for a null handle, of
//   the process's program. A path that doesn't fit is cut to capacity - 1
//   characters and terminated; the answer is then the capacity and the last
//   error ERROR_INSUFFICIENT_BUFFER.
// - GetModuleHandleA(nullptr) is the program; GetModuleHandleA(name) finds an
//   attached or loaded module by its full path or its file name (".dll"
//   assumed when the name has no extension).
//
// An attached module stands for a module that runs in the process, such as
// the DLL itself: its resources are those of the module file at its path at
// the time they are looked up.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/win32.h"

namespace platform::module_files {

struct Resource {
    std::string type;   // a type name such as "REGISTRY"; "#n" is the numbered type n
    WORD id = 0;        // the resource number
    std::string bytes;  // the data, exactly
};

// Creates or replaces the module file at `path`. Modules already loaded keep
// the resources they were loaded with.
void PutFile(const std::string& path, std::vector<Resource> resources);
// False when there was no such file.
bool RemoveFile(const std::string& path);

// A module running in the process whose file is `path` (which need not have
// been put: loading that path then fails as for any missing file).
HMODULE AttachModule(const std::string& path);
// Changes the path of an attached module, or with a null handle the program's
// path. False for any other handle.
bool SetModuleFileName(HMODULE module, const std::string& path);
void DetachModule(HMODULE module);

// Modules loaded with LoadLibraryExA and not yet released by FreeLibrary
// (a shared handle counts once).
std::size_t LoadedModules();

// Forgets every file, attached module and loaded module; the program's path
// becomes "C:\tervagon\host.exe" again.
void Reset();

}  // namespace platform::module_files
