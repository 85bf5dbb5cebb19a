// Whether the machine has disabled a class for the browser (its kill bit).
#pragma once

#include "platform/win32.h"

namespace checking {

// True when the class's compatibility entry, the ordinary one or the one that
// policy sets, carries the kill bit, or when an entry exists but can't be
// read: a class is created only when it is known not to be disabled.
bool IsDisabledForBrowser(REFCLSID clsid);

}  // namespace checking
