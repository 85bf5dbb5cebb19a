// A module loaded with LoadLibrary/LoadLibraryEx, released with FreeLibrary.
#pragma once

#include "platform/owned_handle.h"
#include "platform/win32.h"

namespace platform {

inline void UnloadModule(HMODULE module) noexcept { FreeLibrary(module); }
using LoadedModule = OwnedHandle<NullEmptyTraits<HMODULE, &UnloadModule>>;

}  // namespace platform
