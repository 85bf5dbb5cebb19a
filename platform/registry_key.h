// An open registry key, closed on every road out of the scope that opened it.
// The predefined root keys are not ours to close and are never given back.
#pragma once

#include <cstdint>

#include "platform/owned_handle.h"
#include "platform/win32.h"

namespace platform {

struct RegistryKeyTraits {
    using Handle = HKEY;
    static constexpr Handle Empty() noexcept { return nullptr; }
    static void Release(Handle key) noexcept {
        if (!IsPredefined(key)) RegCloseKey(key);
    }
    // The predefined keys are the few handle values from HKEY_CLASSES_ROOT on
    // (sign-extended on 64-bit Windows, hence the difference, not a compare).
    static bool IsPredefined(Handle key) noexcept {
        return reinterpret_cast<std::uintptr_t>(key) - reinterpret_cast<std::uintptr_t>(HKEY_CLASSES_ROOT) < 0x100;
    }
};

class RegistryKey : public OwnedHandle<RegistryKeyTraits> {
public:
    using OwnedHandle::OwnedHandle;

    // Closes the key now and gives the registry's answer: a caller that must
    // know whether the close succeeded asks here (nothing held answers 0).
    LONG Close() noexcept {
        const HKEY key = Detach();
        if (key == nullptr || RegistryKeyTraits::IsPredefined(key)) return ERROR_SUCCESS;
        return RegCloseKey(key);
    }
};

}  // namespace platform
