// The ControlInstaller object: the scriptable class that the class factory
// creates, in its plain form or embedded in an aggregate.
#pragma once

#include "platform/win32.h"
#include "server/object_map.h"

namespace server {

// Null outer object: the plain form. Otherwise the aggregated form, whose own
// IUnknown the caller receives (the class factory refuses any other request).
HRESULT CreateControlInstaller(IUnknown* outer, REFIID iid, void** object) noexcept;

// Implemented categories: safe for scripting, then safe for initialising.
const CategoryMapEntry* ControlInstallerCategories() noexcept;

}  // namespace server
