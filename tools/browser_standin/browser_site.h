// The site a browser hands to an object on its page: a service provider whose
// web-browser service tells the page address, and a client site whose
// container is the document that holds the object, as the checking service
// asks them.
#pragma once

#include <optional>
#include <string>

#include "platform/com_ref.h"
#include "platform/win32.h"

namespace standin {

// A new site whose browser answers `url` as its location. The object is on
// that page, or, given `frameUrl`, on a frame of it that shows `frameUrl`.
platform::ComRef<IUnknown> MakeBrowserSite(const std::wstring& url,
                                           const std::optional<std::wstring>& frameUrl = std::nullopt);

}  // namespace standin
