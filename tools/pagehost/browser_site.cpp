#include "tools/pagehost/browser_site.h"

#include "tests/fixtures/browser_standin.h"

namespace pagehost {

// The tests' browser stand-in plays the browser here too: it answers exactly
// what the object asks of a page (its location) and nothing else.
ComPtr<IUnknown> MakeBrowserSite(const std::wstring& url) {
    return ComPtr<IUnknown>::Adopt(
        fixtures::StandInSite::Create(fixtures::SiteKind::WebBrowser, url.c_str())->AsUnknown());
}

}  // namespace pagehost
