#include "checking/site_addresses.h"

#include <exdisp.h>
#include <mshtml.h>
#include <oleidl.h>
#include <servprov.h>
#include <shlguid.h>

#include "platform/allocation.h"
#include "platform/com_ref.h"

namespace checking {

// The copy keeps the whole stored length, so that a NUL inside it is seen.
bool ReadBrowserAddress(IUnknown* site, platform::OwnedString& address) {
    if (site == nullptr) return false;
    platform::ComRef<IServiceProvider> provider;
    if (FAILED(site->QueryInterface(IID_IServiceProvider, provider.ReceiveVoid())) || !provider) return false;
    platform::ComRef<IWebBrowser2> browser;
    if (FAILED(provider->QueryService(SID_SWebBrowserApp, IID_IWebBrowser2, browser.ReceiveVoid())) || !browser)
        return false;
    // The browser's string was made by the browser's allocator, not through
    // the seam: it goes back the same way, and the copy kept is the seam's.
    platform::SystemString location;
    if (FAILED(browser->get_LocationURL(location.Receive()))) return false;
    if (!location) return true;  // no address: nothing splits it
    address.Attach(platform::AllocStringLen(location.Get(), location.Length()));
    return static_cast<bool>(address);  // out of memory fails the check
}

// The browser service answers for the top-level browser wherever the object
// sits, so it can't tell a frame. The document that holds the object comes
// from the client site: the browser sites an object of an object tag on the
// tag's client site, and one that page script makes with new ActiveXObject on
// the client site of the document that runs the script. Both are the site
// handed to SetSite (the object has no IOleObject for another road), and
// their container is the document that holds the object, a frame's own
// document when the object is on a frame.
DocumentAddress ReadDocumentAddress(IUnknown* site, platform::SystemString& address) {
    if (site == nullptr) return DocumentAddress::NoDocument;
    platform::ComRef<IOleClientSite> clientSite;
    if (FAILED(site->QueryInterface(IID_IOleClientSite, clientSite.ReceiveVoid())) || !clientSite)
        return DocumentAddress::NoDocument;
    platform::ComRef<IOleContainer> container;
    if (FAILED(clientSite->GetContainer(container.Receive())) || !container) return DocumentAddress::NoDocument;
    platform::ComRef<IHTMLDocument2> document;
    if (FAILED(container->QueryInterface(IID_IHTMLDocument2, document.ReceiveVoid())) || !document)
        return DocumentAddress::NoDocument;
    // A document that is there but tells no address may be anything: it is
    // never taken for a page of the domain.
    if (FAILED(document->get_URL(address.Receive())) || !address) return DocumentAddress::Unreadable;
    return DocumentAddress::Read;
}

}  // namespace checking
