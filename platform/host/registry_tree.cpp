#include "platform/host/registry_tree.h"

#include <algorithm>

#include "platform/host/latin1.h"
#include "platform/host/registry_state.h"

namespace platform::host {
namespace {

constexpr const char* kRootNames[kRootCount] = {
    "HKEY_CLASSES_ROOT",     "HKEY_CURRENT_USER",   "HKEY_LOCAL_MACHINE", "HKEY_USERS",
    "HKEY_PERFORMANCE_DATA", "HKEY_CURRENT_CONFIG", "HKEY_DYN_DATA",
};
constexpr int kClassesRoot = 0;
constexpr int kLocalMachine = 2;

bool NameBefore(std::string_view left, std::string_view right) {
    return CompareFolded(left, right) < 0;
}

}  // namespace

std::shared_ptr<RegistryKey> RegistryKey::Child(std::string_view childName) const {
    const auto at = std::lower_bound(
        children.begin(), children.end(), childName,
        [](const std::shared_ptr<RegistryKey>& child, std::string_view wanted) { return NameBefore(child->name, wanted); });
    if (at != children.end() && EqualFolded((*at)->name, childName)) return *at;
    return nullptr;
}

std::shared_ptr<RegistryKey> RegistryKey::AddChild(const std::shared_ptr<RegistryKey>& self,
                                                   std::string_view childName) {
    auto child = std::make_shared<RegistryKey>();
    child->name.assign(childName);
    child->parent = self;
    const auto at = std::lower_bound(
        children.begin(), children.end(), childName,
        [](const std::shared_ptr<RegistryKey>& existing, std::string_view wanted) { return NameBefore(existing->name, wanted); });
    children.insert(at, child);
    return child;
}

void RegistryKey::RemoveChild(const RegistryKey* child) {
    std::erase_if(children, [child](const std::shared_ptr<RegistryKey>& c) { return c.get() == child; });
}

RegistryValue* RegistryKey::Value(std::string_view valueName) {
    for (RegistryValue& value : values)
        if (EqualFolded(value.name, valueName)) return &value;
    return nullptr;
}

void RegistryKey::SetValue(std::string_view valueName, DWORD type, std::vector<BYTE> data, bool writtenThroughClasses) {
    if (RegistryValue* existing = Value(valueName)) {
        existing->type = type;
        existing->data = std::move(data);
        existing->throughClasses = writtenThroughClasses;
        return;
    }
    const auto at = std::lower_bound(values.begin(), values.end(), valueName,
                                     [](const RegistryValue& v, std::string_view wanted) { return NameBefore(v.name, wanted); });
    values.insert(at, RegistryValue{std::string(valueName), type, std::move(data), writtenThroughClasses});
}

bool RegistryKey::RemoveValue(std::string_view valueName) {
    return std::erase_if(values, [valueName](const RegistryValue& v) { return EqualFolded(v.name, valueName); }) != 0;
}

void RegistryState::Clear() {
    // Keys still held by stale handles are cut loose: they read as deleted.
    for (auto& [value, handle] : handles) handle.key->deleted = true;
    handles.clear();
    for (std::size_t i = 0; i < kRootCount; ++i) {
        roots[i] = std::make_shared<RegistryKey>();
        roots[i]->name = kRootNames[i];
        roots[i]->permanent = true;
    }
    auto software = roots[kLocalMachine]->AddChild(roots[kLocalMachine], "SOFTWARE");
    software->permanent = true;
    classes = software->AddChild(software, "Classes");
    classes->permanent = true;
    filter = nullptr;
}

bool RegistryState::Refused(registry_store::Operation operation, LONG* code) const {
    return filter != nullptr && filter(operation, code);
}

RegistryState& Registry() {
    static RegistryState state;
    return state;
}

int RootIndex(HKEY key) {
    const auto value = reinterpret_cast<std::uintptr_t>(key);
    if (value >= 0x80000000u && value < 0x80000000u + kRootCount) return static_cast<int>(value - 0x80000000u);
    return -1;
}

const char* RootName(int index) { return kRootNames[index]; }

std::recursive_mutex& RegistryLock() { return Registry().lock; }

std::shared_ptr<RegistryKey> RootKey(int index) {
    RegistryState& state = Registry();
    return index == kClassesRoot ? state.classes : state.roots[static_cast<std::size_t>(index)];
}

const std::map<std::uintptr_t, OpenHandle>& HandleTable() { return Registry().handles; }

std::shared_ptr<RegistryKey> ResolveKey(HKEY key, REGSAM* access, LONG* code) {
    RegistryState& state = Registry();
    const int root = RootIndex(key);
    if (root >= 0) {
        *access = KEY_ALL_ACCESS;
        return RootKey(root);
    }
    const auto found = state.handles.find(reinterpret_cast<std::uintptr_t>(key));
    if (found == state.handles.end()) {
        *code = ERROR_INVALID_HANDLE;
        return nullptr;
    }
    if (found->second.key->deleted) {
        *code = ERROR_KEY_DELETED;
        return nullptr;
    }
    *access = found->second.access;
    return found->second.key;
}

bool ThroughClasses(HKEY key) {
    const int root = RootIndex(key);
    if (root >= 0) return root == kClassesRoot;
    const auto found = Registry().handles.find(reinterpret_cast<std::uintptr_t>(key));
    return found != Registry().handles.end() && found->second.throughClasses;
}

std::string KeyPath(const RegistryKey& key) {
    std::string path = key.name;
    for (auto parent = key.parent.lock(); parent; parent = parent->parent.lock()) path = parent->name + "\\" + path;
    return path;
}

}  // namespace platform::host
