#include "tools/browser_standin/browser_site.h"

#include "tools/browser_standin/browser_standin.h"

namespace standin {

// The stand-in answers exactly what the object asks of a page (its location,
// and the address of the document that holds it) and nothing else.
platform::ComRef<IUnknown> MakeBrowserSite(const std::wstring& url, const std::optional<std::wstring>& frameUrl) {
    StandInSite* site = StandInSite::Create(SiteKind::WebBrowser, url.c_str());
    if (frameUrl) site->SetFrameLocation(*frameUrl);
    return platform::ComRef<IUnknown>(site->AsUnknown());
}

}  // namespace standin
