// The site that the host hands the object for one request: its browser tells
// the page address that the real browser reported for the frame that asked,
// and nothing else. It offers no document, so the object judges the request
// by that address alone.
#pragma once

#include <string>

#include "platform/com_ref.h"
#include "platform/win32.h"

namespace bridge {

// A new site whose browser reports `page` as its location; empty when out of memory.
platform::ComRef<IUnknown> MakePageSite(std::wstring page);

}  // namespace bridge
