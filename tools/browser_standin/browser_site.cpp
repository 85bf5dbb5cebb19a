#include "tools/browser_standin/browser_site.h"

#include "tools/browser_standin/browser_standin.h"

namespace standin {

// The stand-in answers exactly what the object asks of a page (its location)
// and nothing else.
platform::ComRef<IUnknown> MakeBrowserSite(const std::wstring& url) {
    return platform::ComRef<IUnknown>(StandInSite::Create(SiteKind::WebBrowser, url.c_str())->AsUnknown());
}

}  // namespace standin
