// Registration of the type library that IDispatch loads at run time: taken
// from the module's own "TYPELIB" resource, or else from a ".tlb" file beside
// it under the module's name.
#pragma once

#include "platform/win32.h"

namespace server {

HRESULT RegisterServerTypeLibrary(HMODULE module) noexcept;
HRESULT UnregisterServerTypeLibrary(HMODULE module) noexcept;

}  // namespace server
