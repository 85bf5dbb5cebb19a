// An owned BSTR. Two kinds, because the allocation seam counts the strings it
// made: an OwnedString was made through the seam (platform::AllocString and its
// kin) and goes back through it; a SystemString was made by the system (the
// type information, another COM object) and goes back to SysFreeString.
#pragma once

#include <string>

#include "platform/allocation.h"
#include "platform/owned_handle.h"
#include "platform/win32.h"

namespace platform {

inline void FreeSeamString(BSTR text) noexcept { FreeString(text); }
inline void FreeSystemString(BSTR text) noexcept { SysFreeString(text); }

template <void (*GiveBack)(BSTR) noexcept>
class BasicOwnedString : public OwnedHandle<NullEmptyTraits<BSTR, GiveBack>> {
public:
    using OwnedHandle<NullEmptyTraits<BSTR, GiveBack>>::OwnedHandle;

    // The length the string records (a BSTR may hold NULs); 0 when empty.
    UINT Length() const noexcept { return this->Get() == nullptr ? 0 : SysStringLen(this->Get()); }
    // A copy of every unit the string records.
    std::basic_string<OLECHAR> Text() const { return std::basic_string<OLECHAR>(this->Get(), Length()); }
};

using OwnedString = BasicOwnedString<&FreeSeamString>;
using SystemString = BasicOwnedString<&FreeSystemString>;

}  // namespace platform
