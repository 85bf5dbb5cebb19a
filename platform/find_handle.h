// A file search started with FindFirstFile, ended with FindClose. The empty
// value is INVALID_HANDLE_VALUE, which is what a search that found nothing gives.
// Windows builds only: the native stand-in has no file search.
#pragma once

#include "platform/owned_handle.h"
#include "platform/win32.h"

namespace platform {

struct FindHandleTraits {
    using Handle = HANDLE;
    static Handle Empty() noexcept { return INVALID_HANDLE_VALUE; }
    static void Release(Handle search) noexcept { FindClose(search); }
};

using FindHandle = OwnedHandle<FindHandleTraits>;

}  // namespace platform
