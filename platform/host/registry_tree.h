// The stand-in registry's tree: a tree of keys per predefined root, and the
// table of open handles, behind the one lock that every registry call holds.
// This is what code outside the registry functions (the text form in
// tools/registry_dump, the tests' handle accounting) may see of the registry;
// the rest of its state is in registry_state.h.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

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

// Index 0..6 of a predefined root handle, or -1.
int RootIndex(HKEY key);
// "HKEY_CLASSES_ROOT" ... for index 0..6.
const char* RootName(int index);
// "root\a\b" for a live key, for messages.
std::string KeyPath(const RegistryKey& key);

// The lock every registry call holds for the whole call. Whoever walks or
// changes the tree holds it too.
std::recursive_mutex& RegistryLock();
// The key of the predefined root with index 0..6; the one of HKEY_CLASSES_ROOT
// is HKEY_LOCAL_MACHINE\SOFTWARE\Classes. Caller holds the lock.
std::shared_ptr<RegistryKey> RootKey(int index);
// The open handles by handle value. Caller holds the lock.
const std::map<std::uintptr_t, OpenHandle>& HandleTable();

}  // namespace platform::host
