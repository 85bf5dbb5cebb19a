// The module files of the native stand-in, as tests put them in place and
// look at them (native host build only). What the module functions make of
// them (LoadLibraryExA, FindResourceA, GetModuleFileNameA...) is described with
// the stand-in's table, platform/host/module_table.h.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/win32.h"

namespace module_files {

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
// been put: loading that path then fails as for any missing file). Its
// resources are those of the module file at its path at the time they are
// looked up.
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

}  // namespace module_files
