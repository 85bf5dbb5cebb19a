#include "checking/kill_bit.h"

#include <cstring>

#include "checking/bounded_text.h"
#include "platform/registry_key.h"

namespace checking {
namespace {

// A class is disabled for the browser when its entry under either key has the
// kill bit in its DWORD value "Compatibility Flags". Managed machines set it
// through the policy key; the browser honours both.
constexpr const char* kCompatibilityKeys[] = {
    "SOFTWARE\\Microsoft\\Internet Explorer\\ActiveX Compatibility\\",
    "SOFTWARE\\Policies\\Microsoft\\Internet Explorer\\ActiveX Compatibility\\",
};
constexpr char kCompatibilityFlags[] = "Compatibility Flags";
constexpr DWORD kKillBit = 0x00000400;

// Whether the entry for the class `guid` (braces, hexadecimal digits and
// dashes) under `compatibilityKey` disables it.
bool EntryDisables(const char* compatibilityKey, const char* guid) {
    char keyPath[kPathCapacity] = {};
    if (!BoundedAppend(keyPath, sizeof(keyPath), compatibilityKey) || !BoundedAppend(keyPath, sizeof(keyPath), guid))
        return true;
    // Read through the module's own registry view, which is the one the
    // browser of the same bitness reads.
    platform::RegistryKey key;
    LONG code = RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_QUERY_VALUE, key.Receive());
    if (code == ERROR_FILE_NOT_FOUND) return false;
    if (code != ERROR_SUCCESS) return true;
    DWORD type = REG_NONE;
    DWORD flags = 0;
    DWORD size = sizeof(flags);
    code = RegQueryValueExA(key.Get(), kCompatibilityFlags, nullptr, &type, reinterpret_cast<BYTE*>(&flags), &size);
    // The browser takes the flags from a DWORD only: no value, or one of
    // another type or size, disables nothing.
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_MORE_DATA) return false;
    if (code != ERROR_SUCCESS) return true;
    return type == REG_DWORD && size == sizeof(flags) && (flags & kKillBit) != 0;
}

}  // namespace

bool IsDisabledForBrowser(REFCLSID clsid) {
    OLECHAR wide[40] = {};
    if (StringFromGUID2(clsid, wide, 40) == 0) return true;
    char guid[40] = {};
    for (int i = 0; wide[i] != 0; ++i) guid[i] = static_cast<char>(wide[i]);  // ASCII only
    for (const char* compatibilityKey : kCompatibilityKeys) {
        if (EntryDisables(compatibilityKey, guid)) return true;
    }
    return false;
}

}  // namespace checking
