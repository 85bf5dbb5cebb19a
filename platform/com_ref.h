// One counted reference to a COM interface, released when the holder goes.
#pragma once

#include "platform/owned_handle.h"
#include "platform/win32.h"

namespace platform {

template <typename Interface>
void ReleaseReference(Interface* pointer) noexcept {
    pointer->Release();
}

template <typename Interface>
class ComRef : public OwnedHandle<NullEmptyTraits<Interface*, &ReleaseReference<Interface>>> {
public:
    using OwnedHandle<NullEmptyTraits<Interface*, &ReleaseReference<Interface>>>::OwnedHandle;

    Interface* operator->() const noexcept { return this->Get(); }
    // For an out-parameter typed void**, as QueryInterface and CoCreateInstance take.
    void** ReceiveVoid() noexcept { return reinterpret_cast<void**>(this->Receive()); }
};

}  // namespace platform
