// The two module-wide records built before the module object: the base record
// (module and resource handles, resource lock) and the COM record (object map
// bounds and the object-map lock that makes sure each class object is built
// once).
#pragma once

#include <span>

#include "platform/win32.h"
#include "server/critical_section.h"
#include "server/object_map.h"

namespace server {

class BaseModule {
public:
    explicit BaseModule(HMODULE module) noexcept;
    BaseModule(const BaseModule&) = delete;
    BaseModule& operator=(const BaseModule&) = delete;

    HMODULE ModuleHandle() const noexcept { return module_; }
    HMODULE ResourceHandle() const noexcept { return resourceModule_; }

private:
    HMODULE module_;
    HMODULE resourceModule_;
    CriticalSection resourceLock_;
    // This DLL loads resources from itself only: the list of further resource
    // modules stays empty and needs no storage.
};

class ComModule {
public:
    ComModule(HMODULE typeLibraryModule, std::span<ObjectMapEntry* const> objectMap) noexcept;
    ~ComModule();
    ComModule(const ComModule&) = delete;
    ComModule& operator=(const ComModule&) = delete;

    bool Usable() const noexcept { return initialised_ != 0; }
    HMODULE TypeLibraryModule() const noexcept { return typeLibraryModule_; }
    std::span<ObjectMapEntry* const> Entries() const noexcept { return objectMap_; }
    CriticalSection& ObjectMapLock() noexcept { return objectMapLock_; }

private:
    DWORD initialised_;
    HMODULE typeLibraryModule_;
    std::span<ObjectMapEntry* const> objectMap_;
    CriticalSection objectMapLock_;
};

BaseModule& TheBaseModule() noexcept;
ComModule& TheComModule() noexcept;

}  // namespace server
