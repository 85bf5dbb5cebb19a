// The stand-in registry's data: a tree of keys per predefined root, the table
// of open handles and the armed failures, all behind one lock. Shared by the
// registry functions and the store's test support; nothing else includes it.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/host/registry_store.h"
#include "platform/win32.h"

namespace platform::host {

struct RegistryValue {
    std::string name;  // empty: the key's default value
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    bool throughClasses = false;  // last written through HKEY_CLASSES_ROOT
};

struct RegistryKey {
    std::string name;  // as first written
    std::weak_ptr<RegistryKey> parent;
    // Sorted by name without regard to case, as the platform enumerates them.
    std::vector<std::shared_ptr<RegistryKey>> children;
    std::vector<RegistryValue> values;
    bool deleted = false;    // still reachable through an open handle
    bool permanent = false;  // part of every machine; cannot be deleted
    bool throughClasses = false;  // created through HKEY_CLASSES_ROOT

    std::shared_ptr<RegistryKey> Child(std::string_view childName) const;
    std::shared_ptr<RegistryKey> AddChild(const std::shared_ptr<RegistryKey>& self,
                                          std::string_view childName);
    void RemoveChild(const RegistryKey* child);
    RegistryValue* Value(std::string_view valueName);
    void SetValue(std::string_view valueName, DWORD type, std::vector<BYTE> data, bool writtenThroughClasses = false);
    bool RemoveValue(std::string_view valueName);
};

struct OpenHandle {
    std::shared_ptr<RegistryKey> key;
    REGSAM access = 0;
    bool throughClasses = false;  // opened from HKEY_CLASSES_ROOT or from a handle that was
};

constexpr std::size_t kRootCount = 7;
constexpr std::size_t kMaxKeyNameLength = 255;

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

// Index 0..6 of a predefined root handle, or -1.
int RootIndex(HKEY key);
// "HKEY_CLASSES_ROOT" ... for index 0..6.
const char* RootName(int index);
// The key a predefined root or an open handle stands for; null with *code set otherwise.
// Caller holds the lock.
std::shared_ptr<RegistryKey> ResolveKey(HKEY key, REGSAM* access, LONG* code);
// Whether a predefined root or an open handle reaches its key through HKEY_CLASSES_ROOT.
bool ThroughClasses(HKEY key);
// "root\a\b" for a live key, for messages.
std::string KeyPath(const RegistryKey& key);

}  // namespace platform::host
