// The site a browser hands to an object on its page: a service provider whose
// web-browser service tells the page address, as the checking service asks it.
#pragma once

#include <string>

#include "platform/win32.h"
#include "tools/pagehost/com_ptr.h"

namespace pagehost {

// A new site whose browser answers `url` as its location.
ComPtr<IUnknown> MakeBrowserSite(const std::wstring& url);

}  // namespace pagehost
