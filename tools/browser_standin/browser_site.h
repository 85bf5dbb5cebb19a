// The site a browser hands to an object on its page: a service provider whose
// web-browser service tells the page address, as the checking service asks it.
#pragma once

#include <string>

#include "platform/com_ref.h"
#include "platform/win32.h"

namespace standin {

// A new site whose browser answers `url` as its location.
platform::ComRef<IUnknown> MakeBrowserSite(const std::wstring& url);

}  // namespace standin
