// An open registry key that is closed on every road out of the scope that
// opened it. Predefined root keys are never wrapped: they are not ours to close.
#pragma once

#include "platform/win32.h"

namespace registrar {

class RegistryKey {
public:
    RegistryKey() = default;
    explicit RegistryKey(HKEY key) : key_(key) {}
    ~RegistryKey() { Close(); }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    HKEY Get() const { return key_; }
    bool IsOpen() const { return key_ != nullptr; }

    // Takes over a newly opened key; the one held before is closed first.
    void Reset(HKEY key) {
        Close();
        key_ = key;
    }

    // Closes the key now and gives the registry's answer (0 when nothing was held).
    LONG Close() {
        if (key_ == nullptr) return ERROR_SUCCESS;
        const HKEY key = key_;
        key_ = nullptr;
        return RegCloseKey(key);
    }

private:
    HKEY key_ = nullptr;
};

}  // namespace registrar
