// The native stand-in's module and resource services (native host build only).
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
//
// Below is the table itself, behind its lock: the module functions work on it,
// and so does whatever fills and inspects it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/host/latin1.h"
#include "platform/win32.h"

namespace platform::host {

struct LoadedResource {
    std::string type;
    WORD id = 0;
    std::unique_ptr<BYTE[]> bytes;  // exactly `size` bytes: reading past them is caught
    DWORD size = 0;
};

using Image = std::vector<LoadedResource>;

// A resource that owns a copy of `size` bytes.
LoadedResource CopyResource(const std::string& type, WORD id, const BYTE* bytes, std::size_t size);

struct Module {
    std::string path;
    bool attached = false;  // runs in the process; never freed
    bool dataFile = false;
    unsigned loads = 0;             // FreeLibrary calls still owed
    std::shared_ptr<Image> image;  // loaded modules only
};

struct FoldedLess {
    bool operator()(const std::string& a, const std::string& b) const { return CompareFolded(a, b) < 0; }
};

constexpr const char* kProgramPath = "C:\\tervagon\\host.exe";
constexpr std::uintptr_t kProgramHandle = 0x400000;

struct ModuleTable {
    std::mutex lock;
    std::map<std::string, std::shared_ptr<Image>, FoldedLess> files;  // the module files by path
    std::map<std::uintptr_t, Module> modules;  // attached and loaded modules by handle
    std::uintptr_t nextHandle = 0x10000000;
    std::string programPath = kProgramPath;

    // A handle value for a new module, never given before; its low bits are free.
    std::uintptr_t TakeHandle() {
        const std::uintptr_t value = nextHandle;
        nextHandle += 0x10000;
        return value;
    }
};

// The one table of the process.
ModuleTable& Modules();

}  // namespace platform::host
