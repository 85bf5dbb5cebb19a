// The stand-in registry's whole state: the tree and handles of
// registry_tree.h, the handle numbering and the call filter, all behind one
// lock. Only the stand-in's registry code includes it.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

#include "platform/host/registry_store.h"
#include "platform/host/registry_tree.h"

namespace platform::host {

struct RegistryState {
    std::recursive_mutex lock;
    std::array<std::shared_ptr<RegistryKey>, kRootCount> roots;
    std::shared_ptr<RegistryKey> classes;  // HKEY_LOCAL_MACHINE\SOFTWARE\Classes
    std::map<std::uintptr_t, OpenHandle> handles;
    std::uintptr_t nextHandle = 0x1000;
    registry_store::CallFilter filter = nullptr;

    RegistryState() { Clear(); }
    void Clear();
    // True when the call filter refuses this call of the operation; *code gets its answer.
    bool Refused(registry_store::Operation operation, LONG* code) const;
};

RegistryState& Registry();

// The key a predefined root or an open handle stands for; null with *code set otherwise.
// Caller holds the lock.
std::shared_ptr<RegistryKey> ResolveKey(HKEY key, REGSAM* access, LONG* code);
// Whether a predefined root or an open handle reaches its key through HKEY_CLASSES_ROOT.
bool ThroughClasses(HKEY key);

}  // namespace platform::host
