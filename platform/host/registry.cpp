// The registry functions of the stand-in, over the in-memory tree. Codes and
// edge cases follow what the platform answers (checked against Wine): absent
// keys and values give ERROR_FILE_NOT_FOUND, a short buffer ERROR_MORE_DATA
// with the size needed, a key with subkeys is not deleted (ERROR_ACCESS_DENIED),
// a handle whose key was deleted answers ERROR_KEY_DELETED. Where Windows is
// stricter than Wine the stand-in follows Windows: creating a subkey needs
// KEY_CREATE_SUB_KEY, RegQueryInfoKeyA needs KEY_QUERY_VALUE, and a key name
// longer than 255 characters is refused. A subkey path longer than 260
// characters fails with ERROR_MORE_DATA on both. Data are kept exactly as given: a
// REG_SZ value set without its terminator is read back without one.
#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

#include "platform/host/registry_state.h"

using platform::host::kMaxKeyNameLength;
using platform::host::OpenHandle;
using platform::host::Registry;
using platform::host::RegistryKey;
using platform::host::RegistryState;
using platform::host::RegistryValue;
using platform::host::ResolveKey;
using platform::host::RootIndex;
using Operation = platform::registry_store::Operation;

namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

// The narrow functions convert a subkey path into a per-thread buffer of 261
// UTF-16 units: a longer path fails whole with ERROR_MORE_DATA.
constexpr std::size_t kMaxSubKeyPath = 260;

// Cuts "a\b\c" into its names. A leading backslash is a bad path and a
// trailing one is ignored; an empty name inside the path is skipped when
// creating and makes opening fail, as the platform does.
LONG SplitPath(LPCSTR subKey, bool creating, std::vector<std::string_view>& names) {
    names.clear();
    if (subKey == nullptr || *subKey == '\0') return ERROR_SUCCESS;
    if (*subKey == '\\') return ERROR_BAD_PATHNAME;
    std::string_view rest(subKey);
    if (rest.size() > kMaxSubKeyPath) return ERROR_MORE_DATA;
    while (!rest.empty()) {
        const std::size_t cut = rest.find('\\');
        const std::string_view name = rest.substr(0, cut);
        const bool last = cut == std::string_view::npos || cut + 1 == rest.size();
        if (name.empty()) {
            if (!creating) return ERROR_FILE_NOT_FOUND;
        } else {
            if (name.size() > kMaxKeyNameLength) return ERROR_INVALID_PARAMETER;
            names.push_back(name);
        }
        if (last) break;
        rest.remove_prefix(cut + 1);
    }
    return ERROR_SUCCESS;
}

HKEY NewHandle(RegistryState& state, std::shared_ptr<RegistryKey> key, REGSAM access, bool throughClasses) {
    const std::uintptr_t value = state.nextHandle;
    state.nextHandle += 4;  // never reused: a stale handle stays invalid
    state.handles.emplace(value, OpenHandle{std::move(key), access, throughClasses});
    return reinterpret_cast<HKEY>(value);
}

std::string_view ValueName(LPCSTR name) { return name == nullptr ? std::string_view() : std::string_view(name); }

bool Allows(REGSAM granted, REGSAM needed) { return (granted & needed) == needed; }

void ClearFileTime(PFILETIME time) {
    if (time != nullptr) *time = FILETIME{0, 0};
}

// What every call on a key does first: take the registry lock for the whole
// call, answer as the call filter says when it refuses the call, else find
// the key behind the handle and what it grants.
class KeyCall {
public:
    KeyCall(Operation operation, HKEY key) : state(Registry()), lock_(state.lock) {
        if (state.Refused(operation, &status_)) {
            // A refused call never reaches its key, so it can't answer success.
            if (status_ == ERROR_SUCCESS) status_ = ERROR_INVALID_FUNCTION;
            return;
        }
        at = ResolveKey(key, &granted, &status_);
        if (at) status_ = ERROR_SUCCESS;
    }
    KeyCall(const KeyCall&) = delete;
    KeyCall& operator=(const KeyCall&) = delete;

    // ERROR_SUCCESS when the key was entered, else the call's answer.
    LONG Entered() const { return status_; }
    // The same, after moving `at` down an existing subkey path.
    LONG EnteredBelow(LPCSTR subKey) {
        if (status_ != ERROR_SUCCESS) return status_;
        std::vector<std::string_view> names;
        if (const LONG code = SplitPath(subKey, false, names); code != ERROR_SUCCESS) return code;
        for (const std::string_view name : names) {
            at = at->Child(name);
            if (!at) return ERROR_FILE_NOT_FOUND;
        }
        return ERROR_SUCCESS;
    }
    // The same, and ERROR_ACCESS_DENIED when the handle lacks what the call needs.
    LONG Granted(REGSAM needed) const {
        if (status_ != ERROR_SUCCESS) return status_;
        return Allows(granted, needed) ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
    }

    RegistryState& state;
    std::shared_ptr<RegistryKey> at;
    REGSAM granted = 0;

private:
    Lock lock_;
    LONG status_ = ERROR_SUCCESS;
};

}  // namespace

LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD, REGSAM access, PHKEY result) {
    if (result == nullptr) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    KeyCall call(Operation::Open, key);
    if (const LONG code = call.EnteredBelow(subKey); code != ERROR_SUCCESS) return code;
    *result = NewHandle(call.state, std::move(call.at), access, platform::host::ThroughClasses(key));
    return ERROR_SUCCESS;
}

LONG RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD, LPSTR, DWORD, REGSAM access, LPSECURITY_ATTRIBUTES,
                     PHKEY result, LPDWORD disposition) {
    if (result == nullptr) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    KeyCall call(Operation::Create, key);
    LONG code = call.Entered();
    if (code != ERROR_SUCCESS) return code;
    std::shared_ptr<RegistryKey>& at = call.at;
    std::vector<std::string_view> names;
    if ((code = SplitPath(subKey, true, names)) != ERROR_SUCCESS) return code;
    // Find the part that exists first, so that a refused creation changes nothing.
    std::size_t existing = 0;
    for (; existing < names.size(); ++existing) {
        auto child = at->Child(names[existing]);
        if (!child) break;
        at = std::move(child);
    }
    const bool creating = existing < names.size();
    if (creating && !Allows(call.granted, KEY_CREATE_SUB_KEY)) return ERROR_ACCESS_DENIED;
    const bool throughClasses = platform::host::ThroughClasses(key);
    for (std::size_t i = existing; i < names.size(); ++i) {
        at = at->AddChild(at, names[i]);
        at->throughClasses = throughClasses;
    }
    if (disposition != nullptr) *disposition = creating ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    *result = NewHandle(call.state, std::move(at), access, throughClasses);
    return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD dataSize) {
    if (reserved != nullptr || (data != nullptr && dataSize == nullptr)) return ERROR_INVALID_PARAMETER;
    KeyCall call(Operation::QueryValue, key);
    if (const LONG code = call.Granted(KEY_QUERY_VALUE); code != ERROR_SUCCESS) return code;
    const std::shared_ptr<RegistryKey>& at = call.at;
    const RegistryValue* value = at->Value(ValueName(valueName));
    if (value == nullptr) return ERROR_FILE_NOT_FOUND;
    if (type != nullptr) *type = value->type;
    const auto stored = static_cast<DWORD>(value->data.size());
    if (data != nullptr) {
        if (stored > *dataSize) {
            *dataSize = stored;
            return ERROR_MORE_DATA;
        }
        std::copy(value->data.begin(), value->data.end(), data);
    }
    if (dataSize != nullptr) *dataSize = stored;
    return ERROR_SUCCESS;
}

LONG RegSetValueExA(HKEY key, LPCSTR valueName, DWORD, DWORD type, const BYTE* data, DWORD dataSize) {
    if (data == nullptr && dataSize != 0) return ERROR_NOACCESS;
    KeyCall call(Operation::SetValue, key);
    if (const LONG code = call.Granted(KEY_SET_VALUE); code != ERROR_SUCCESS) return code;
    const std::shared_ptr<RegistryKey>& at = call.at;
    std::vector<BYTE> bytes;
    if (dataSize != 0) bytes.assign(data, data + dataSize);
    at->SetValue(ValueName(valueName), type, std::move(bytes), platform::host::ThroughClasses(key));
    return ERROR_SUCCESS;
}

LONG RegDeleteValueA(HKEY key, LPCSTR valueName) {
    KeyCall call(Operation::DeleteValue, key);
    if (const LONG code = call.Granted(KEY_SET_VALUE); code != ERROR_SUCCESS) return code;
    const std::shared_ptr<RegistryKey>& at = call.at;
    return at->RemoveValue(ValueName(valueName)) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

LONG RegDeleteKeyA(HKEY key, LPCSTR subKey) {
    if (subKey == nullptr) return ERROR_INVALID_PARAMETER;
    KeyCall call(Operation::DeleteKey, key);
    if (const LONG code = call.EnteredBelow(subKey); code != ERROR_SUCCESS) return code;
    const std::shared_ptr<RegistryKey>& at = call.at;
    if (at->permanent || !at->children.empty()) return ERROR_ACCESS_DENIED;
    if (auto parent = at->parent.lock()) parent->RemoveChild(at.get());
    at->deleted = true;
    return ERROR_SUCCESS;
}

LONG RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize, LPDWORD reserved, LPSTR keyClass,
                   LPDWORD classSize, PFILETIME lastWrite) {
    if (name == nullptr || nameSize == nullptr || reserved != nullptr) return ERROR_INVALID_PARAMETER;
    KeyCall call(Operation::EnumKey, key);
    if (const LONG code = call.Granted(KEY_ENUMERATE_SUB_KEYS); code != ERROR_SUCCESS) return code;
    const std::shared_ptr<RegistryKey>& at = call.at;
    if (index >= at->children.size()) return ERROR_NO_MORE_ITEMS;
    const std::string& childName = at->children[index]->name;
    if (childName.size() >= *nameSize) return ERROR_MORE_DATA;
    std::memcpy(name, childName.c_str(), childName.size() + 1);
    *nameSize = static_cast<DWORD>(childName.size());
    if (keyClass != nullptr && classSize != nullptr && *classSize > 0) *keyClass = '\0';
    if (classSize != nullptr) *classSize = 0;
    ClearFileTime(lastWrite);
    return ERROR_SUCCESS;
}

LONG RegEnumValueA(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize, LPDWORD reserved, LPDWORD type,
                   LPBYTE data, LPDWORD dataSize) {
    if (name == nullptr || nameSize == nullptr || reserved != nullptr || (data != nullptr && dataSize == nullptr))
        return ERROR_INVALID_PARAMETER;
    KeyCall call(Operation::EnumValue, key);
    if (const LONG code = call.Granted(KEY_QUERY_VALUE); code != ERROR_SUCCESS) return code;
    const std::shared_ptr<RegistryKey>& at = call.at;
    if (index >= at->values.size()) return ERROR_NO_MORE_ITEMS;
    const RegistryValue& value = at->values[index];
    const auto stored = static_cast<DWORD>(value.data.size());
    if (value.name.size() >= *nameSize) return ERROR_MORE_DATA;
    if (type != nullptr) *type = value.type;
    if (data != nullptr && stored > *dataSize) {
        *dataSize = stored;
        return ERROR_MORE_DATA;
    }
    std::memcpy(name, value.name.c_str(), value.name.size() + 1);
    *nameSize = static_cast<DWORD>(value.name.size());
    if (data != nullptr) std::copy(value.data.begin(), value.data.end(), data);
    if (dataSize != nullptr) *dataSize = stored;
    return ERROR_SUCCESS;
}

LONG RegQueryInfoKeyA(HKEY key, LPSTR keyClass, LPDWORD classSize, LPDWORD reserved, LPDWORD subKeys,
                      LPDWORD maxSubKeyLength, LPDWORD maxClassLength, LPDWORD values, LPDWORD maxValueNameLength,
                      LPDWORD maxValueLength, LPDWORD securityDescriptor, PFILETIME lastWrite) {
    if (reserved != nullptr) return ERROR_INVALID_PARAMETER;
    KeyCall call(Operation::QueryInfo, key);
    if (const LONG code = call.Granted(KEY_QUERY_VALUE); code != ERROR_SUCCESS) return code;
    const std::shared_ptr<RegistryKey>& at = call.at;
    DWORD longestKey = 0, longestName = 0, longestData = 0;
    for (const auto& child : at->children) longestKey = std::max(longestKey, static_cast<DWORD>(child->name.size()));
    for (const auto& value : at->values) {
        longestName = std::max(longestName, static_cast<DWORD>(value.name.size()));
        longestData = std::max(longestData, static_cast<DWORD>(value.data.size()));
    }
    if (keyClass != nullptr && classSize != nullptr && *classSize > 0) *keyClass = '\0';
    if (classSize != nullptr) *classSize = 0;
    if (subKeys != nullptr) *subKeys = static_cast<DWORD>(at->children.size());
    if (maxSubKeyLength != nullptr) *maxSubKeyLength = longestKey;
    if (maxClassLength != nullptr) *maxClassLength = 0;
    if (values != nullptr) *values = static_cast<DWORD>(at->values.size());
    if (maxValueNameLength != nullptr) *maxValueNameLength = longestName;
    if (maxValueLength != nullptr) *maxValueLength = longestData;
    if (securityDescriptor != nullptr) *securityDescriptor = 0;
    ClearFileTime(lastWrite);
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) {
    RegistryState& state = Registry();
    Lock lock(state.lock);
    LONG code = ERROR_SUCCESS;
    if (state.Refused(Operation::Close, &code)) return code;
    if (RootIndex(key) >= 0) return ERROR_SUCCESS;
    return state.handles.erase(reinterpret_cast<std::uintptr_t>(key)) != 0 ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}
