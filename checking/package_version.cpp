// The version that the maker's support package recorded in the registry.
#include <cstdint>

#include "checking/control_checker.h"
#include "checking/version_text.h"
#include "platform/allocation.h"
#include "platform/registry_key.h"

namespace checking {
namespace {

constexpr char kPackageKey[] = "SOFTWARE\\Talmoren Technical Support";
constexpr char kVersionValue[] = "version";

}  // namespace

BSTR ControlChecker::GetPackageVersionRoad() {
    platform::RegistryKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPackageKey, 0, KEY_READ, key.Receive()) != ERROR_SUCCESS)
        return platform::AllocString(L"ERR AccessRegistry");
    // The data are taken as one little-endian 32-bit number whatever their
    // type; shorter data leave the high bytes zero.
    BYTE data[4] = {};
    DWORD size = sizeof(data);
    const LONG code = RegQueryValueExA(key.Get(), kVersionValue, nullptr, nullptr, data, &size);
    key.Reset();
    if (code != ERROR_SUCCESS) return platform::AllocString(L"ERR KeyNotPresent");
    const std::uint32_t number = std::uint32_t{data[0]} | std::uint32_t{data[1]} << 8 |
                                 std::uint32_t{data[2]} << 16 | std::uint32_t{data[3]} << 24;

    char text[kPathCapacity] = {};
    FormatPackageVersion(text, sizeof(text), number);
    m_bstrRetValue.ReplaceNarrow(text);  // out of memory travels to the frame: no answer
    return m_bstrRetValue.HandOut();
}

}  // namespace checking
