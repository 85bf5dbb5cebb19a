// Module files, loaded modules and their resources: see module_table.h.
#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <string_view>

#include "platform/host/latin1.h"
#include "platform/host/module_table.h"

namespace platform::host {

LoadedResource CopyResource(const std::string& type, WORD id, const BYTE* bytes, std::size_t size) {
    LoadedResource copy{type, id, std::make_unique<BYTE[]>(size), static_cast<DWORD>(size)};
    std::copy(bytes, bytes + size, copy.bytes.get());
    return copy;
}

ModuleTable& Modules() {
    static ModuleTable table;
    return table;
}

}  // namespace platform::host

namespace {

namespace host = platform::host;
using host::Image;
using host::LoadedResource;
using host::ModuleTable;

using Lock = std::lock_guard<std::mutex>;

std::uintptr_t Value(HMODULE module) { return reinterpret_cast<std::uintptr_t>(module); }
HMODULE Handle(std::uintptr_t value) { return reinterpret_cast<HMODULE>(value); }

// The resources a module has now; null when it has none.
const Image* ImageOf(ModuleTable& state, HMODULE module) {
    if (module == nullptr || Value(module) == host::kProgramHandle) return nullptr;
    const auto found = state.modules.find(Value(module));
    if (found == state.modules.end()) return nullptr;
    if (!found->second.attached) return found->second.image.get();
    const auto file = state.files.find(found->second.path);
    return file == state.files.end() ? nullptr : file->second.get();
}

// A resource name or type as the platform takes it: a number, "#n", or a name.
struct ResourceKey {
    bool numbered = false;
    DWORD number = 0;
    std::string_view name;
};

ResourceKey KeyOf(LPCSTR text) {
    const auto value = reinterpret_cast<std::uintptr_t>(text);
    if (value <= 0xFFFF) return {true, static_cast<DWORD>(value), {}};
    const std::string_view name(text);
    if (name.size() > 1 && name.front() == '#') {
        DWORD number = 0;
        for (const char c : name.substr(1)) {
            if (c < '0' || c > '9' || number > 0xFFFF) return {false, 0, name};
            number = number * 10 + static_cast<DWORD>(c - '0');
        }
        return {true, number, {}};
    }
    return {false, 0, name};
}

bool TypeMatches(const ResourceKey& key, const std::string& type) {
    const ResourceKey stored = KeyOf(type.c_str());
    if (key.numbered != stored.numbered) return false;
    return key.numbered ? key.number == stored.number : host::EqualFolded(key.name, stored.name);
}

std::string_view FileName(std::string_view path) {
    const std::size_t cut = path.find_last_of("\\/");
    return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

}  // namespace

HMODULE LoadLibraryExA(LPCSTR path, HANDLE file, DWORD flags) {
    const bool dataFile = (flags & LOAD_LIBRARY_AS_DATAFILE) != 0;
    if (path == nullptr || file != nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    ModuleTable& state = host::Modules();
    Lock lock(state.lock);
    const auto found = state.files.find(path);
    if (found == state.files.end()) {
        SetLastError(dataFile ? ERROR_FILE_NOT_FOUND : ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    if (!dataFile) {
        for (auto& [value, module] : state.modules) {
            if (!module.attached && !module.dataFile && host::EqualFolded(module.path, found->first)) {
                ++module.loads;
                return Handle(value);
            }
        }
    }
    // Each load owns its copy of the resources, as a mapping of the file would.
    host::Module module{found->first, false, dataFile, 1, std::make_shared<Image>()};
    for (const LoadedResource& resource : *found->second)
        module.image->push_back(host::CopyResource(resource.type, resource.id, resource.bytes.get(), resource.size));
    const std::uintptr_t value = state.TakeHandle() + (dataFile ? 1 : 0);
    state.modules.emplace(value, std::move(module));
    return Handle(value);
}

BOOL FreeLibrary(HMODULE module) {
    ModuleTable& state = host::Modules();
    Lock lock(state.lock);
    const auto found = state.modules.find(Value(module));
    if (found == state.modules.end() || found->second.attached) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (--found->second.loads == 0) state.modules.erase(found);
    return TRUE;
}

HRSRC FindResourceA(HMODULE module, LPCSTR name, LPCSTR type) {
    ModuleTable& state = host::Modules();
    Lock lock(state.lock);
    const Image* image = ImageOf(state, module);
    if (image == nullptr || image->empty()) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    const ResourceKey typeKey = KeyOf(type);
    const ResourceKey nameKey = KeyOf(name);
    bool typeFound = false;
    for (const LoadedResource& resource : *image) {
        if (!TypeMatches(typeKey, resource.type)) continue;
        typeFound = true;
        if (nameKey.numbered && nameKey.number == resource.id)
            return reinterpret_cast<HRSRC>(const_cast<LoadedResource*>(&resource));
    }
    SetLastError(typeFound ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND);
    return nullptr;
}

namespace {

// The resource an HRSRC names, when it belongs to the module.
const LoadedResource* ResourceOf(ModuleTable& state, HMODULE module, HRSRC resource) {
    const Image* image = ImageOf(state, module);
    if (image == nullptr || resource == nullptr) return nullptr;
    for (const LoadedResource& candidate : *image)
        if (reinterpret_cast<const void*>(&candidate) == reinterpret_cast<const void*>(resource)) return &candidate;
    return nullptr;
}

// Reads what a resource handle stands for, under the module lock; `none`, with
// the last error set, when the handle is not one.
template <typename Read, typename Answer>
Answer ReadResource(HMODULE module, HRSRC resource, Read read, Answer none) {
    ModuleTable& state = host::Modules();
    Lock lock(state.lock);
    const LoadedResource* found = ResourceOf(state, module, resource);
    if (found == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return none;
    }
    return read(*found);
}

}  // namespace

HGLOBAL LoadResource(HMODULE module, HRSRC resource) {
    return ReadResource(module, resource, [](const LoadedResource& found) -> HGLOBAL { return found.bytes.get(); },
                        HGLOBAL{nullptr});
}

DWORD SizeofResource(HMODULE module, HRSRC resource) {
    return ReadResource(module, resource, [](const LoadedResource& found) { return found.size; }, DWORD{0});
}

LPVOID LockResource(HGLOBAL resource) { return resource; }

DWORD GetModuleFileNameA(HMODULE module, LPSTR path, DWORD capacity) {
    ModuleTable& state = host::Modules();
    Lock lock(state.lock);
    const std::string* known = nullptr;
    if (module == nullptr || Value(module) == host::kProgramHandle) {
        known = &state.programPath;
    } else if (const auto found = state.modules.find(Value(module));
               found != state.modules.end() && !found->second.dataFile) {
        known = &found->second.path;
    }
    if (known == nullptr) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    if (capacity == 0 || path == nullptr) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (known->size() < capacity) {
        std::copy(known->begin(), known->end(), path);
        path[known->size()] = '\0';
        return static_cast<DWORD>(known->size());
    }
    std::copy(known->begin(), known->begin() + (capacity - 1), path);
    path[capacity - 1] = '\0';
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return capacity;
}

HMODULE GetModuleHandleA(LPCSTR name) {
    if (name == nullptr) return Handle(host::kProgramHandle);
    std::string wanted(name);
    if (FileName(wanted).find('.') == std::string_view::npos) wanted += ".dll";
    ModuleTable& state = host::Modules();
    Lock lock(state.lock);
    const bool byPath = wanted.find_first_of("\\/") != std::string::npos;
    for (const auto& [value, module] : state.modules) {
        if (module.dataFile) continue;
        if (byPath ? host::EqualFolded(module.path, wanted) : host::EqualFolded(FileName(module.path), wanted))
            return Handle(value);
    }
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}
