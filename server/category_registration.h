// The component categories of a class, written and removed through the
// platform's component categories manager.
#pragma once

#include "platform/win32.h"
#include "server/object_map.h"

namespace server {

// A system without the categories manager registers without categories and
// succeeds. In unregister mode nothing fails, and the class's category keys
// that are left empty are removed.
HRESULT UpdateClassCategories(const CLSID& clsid, const CategoryMapEntry* map, bool doRegister) noexcept;

}  // namespace server
