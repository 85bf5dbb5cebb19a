// The class object that the object map caches for a class.
#pragma once

#include "platform/win32.h"
#include "server/object_map.h"

namespace server {

// Builds a class object around the class's instance creator and answers its
// QueryInterface for iid. The map's own reference is the count of 1, which
// does not lock the module; every reference a client takes on top of it does.
HRESULT CreateClassObject(InstanceCreator creator, REFIID iid, void** object) noexcept;

}  // namespace server
