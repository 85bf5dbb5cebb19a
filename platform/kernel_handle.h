// A kernel object's handle (a process, a thread, an event), closed with
// CloseHandle. Windows builds only.
#pragma once

#include "platform/owned_handle.h"
#include "platform/win32.h"

namespace platform {

inline void CloseKernelHandle(HANDLE handle) noexcept { CloseHandle(handle); }
using KernelHandle = OwnedHandle<NullEmptyTraits<HANDLE, &CloseKernelHandle>>;

}  // namespace platform
