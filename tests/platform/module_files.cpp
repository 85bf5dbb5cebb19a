// The filling and inspecting of the stand-in's module table: see module_files.h.
#include "tests/platform/module_files.h"

#include <cstdint>
#include <memory>
#include <mutex>

#include "platform/host/module_table.h"

namespace module_files {
namespace {

namespace host = platform::host;
using host::ModuleTable;
using Lock = std::lock_guard<std::mutex>;

std::uintptr_t Value(HMODULE module) { return reinterpret_cast<std::uintptr_t>(module); }
HMODULE Handle(std::uintptr_t value) { return reinterpret_cast<HMODULE>(value); }

}  // namespace

void PutFile(const std::string& path, std::vector<Resource> resources) {
    ModuleTable& state = host::Modules();
    Lock lock(state.lock);
    auto image = std::make_shared<host::Image>();
    for (const Resource& resource : resources)
        image->push_back(host::CopyResource(resource.type, resource.id,
                                            reinterpret_cast<const BYTE*>(resource.bytes.data()), resource.bytes.size()));
    state.files[path] = std::move(image);
}

bool RemoveFile(const std::string& path) {
    ModuleTable& state = host::Modules();
    Lock lock(state.lock);
    return state.files.erase(path) != 0;
}

HMODULE AttachModule(const std::string& path) {
    ModuleTable& state = host::Modules();
    Lock lock(state.lock);
    const std::uintptr_t value = state.TakeHandle();
    state.modules.emplace(value, host::Module{path, true, false, 0, nullptr});
    return Handle(value);
}

bool SetModuleFileName(HMODULE module, const std::string& path) {
    ModuleTable& state = host::Modules();
    Lock lock(state.lock);
    if (module == nullptr || Value(module) == host::kProgramHandle) {
        state.programPath = path;
        return true;
    }
    const auto found = state.modules.find(Value(module));
    if (found == state.modules.end() || !found->second.attached) return false;
    found->second.path = path;
    return true;
}

void DetachModule(HMODULE module) {
    ModuleTable& state = host::Modules();
    Lock lock(state.lock);
    const auto found = state.modules.find(Value(module));
    if (found != state.modules.end() && found->second.attached) state.modules.erase(found);
}

std::size_t LoadedModules() {
    ModuleTable& state = host::Modules();
    Lock lock(state.lock);
    std::size_t count = 0;
    for (const auto& [value, module] : state.modules) count += module.attached ? 0 : 1;
    return count;
}

void Reset() {
    ModuleTable& state = host::Modules();
    Lock lock(state.lock);
    state.files.clear();
    state.modules.clear();
    state.programPath = host::kProgramPath;
}

}  // namespace module_files
