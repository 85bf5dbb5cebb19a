// A VARIANT that is cleared when it goes: whatever it holds (a string, an
// interface reference) is given back on every road out of its scope.
// Windows builds only: the native stand-in has no variants.
#pragma once

#include "platform/win32.h"

namespace platform {

class OwnedVariant : public VARIANT {
public:
    OwnedVariant() noexcept { VariantInit(this); }
    OwnedVariant(const OwnedVariant&) = delete;
    OwnedVariant& operator=(const OwnedVariant&) = delete;
    ~OwnedVariant() { VariantClear(this); }
};
// An array of them is an argument array that DISPPARAMS can point at.
static_assert(sizeof(OwnedVariant) == sizeof(VARIANT));

}  // namespace platform
