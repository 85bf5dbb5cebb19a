// A stand-in for the web browser that hosts a scriptable object: a site that
// offers IServiceProvider, whose SID_SWebBrowserApp service is an IWebBrowser2
// that can tell only its page address (get_LocationURL), and IOleClientSite,
// whose container is the document that holds the object, an IHTMLDocument2
// that can tell only its own address (get_URL); every other member answers
// E_NOTIMPL. Variants stand for containers that are not browsers and for
// sites that offer no document.
#pragma once

#include <string>

#include <windows.h>
#include <oleidl.h>
#include <servprov.h>

namespace standin {

enum class SiteKind {
    WebBrowser,         // offers the browser service
    NotABrowser,        // offers IServiceProvider, but no browser service
    NoServiceProvider,  // offers no IServiceProvider
};

// The document that holds the object, as the site's container gives it.
enum class DocumentKind {
    ThePage,       // the object is on the top-level page: its document shows the browser's address
    Frame,         // the object is on a frame whose document has an address of its own
    None,          // the site is no client site: it offers no document
    NoContainer,   // a client site whose GetContainer fails
    NotADocument,  // a client site whose container is no HTML document
};

// Destroyed by its own Release, never through an interface pointer.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class StandInSite final : public IServiceProvider, public IOleClientSite {
public:
    // A new site holding one reference for the caller. A null location makes
    // the browser report a null address. The object is on the top-level page.
    static StandInSite* Create(SiteKind kind, const wchar_t* location);

    // The page the browser shows from now on (null: no address).
    void SetLocation(const wchar_t* location) { page_.Set(location); }
    // An address whose stored length may hold NULs.
    void SetLocation(const std::wstring& location) { page_.Set(location); }
    // A failing status makes get_LocationURL fail with it.
    void SetLocationStatus(HRESULT status) { locationStatus_ = status; }
    // How often the browser was asked for its address.
    int LocationRequests() const { return locationRequests_; }

    // Where the object sits from now on.
    void SetDocument(DocumentKind kind) { documentKind_ = kind; }
    // Puts the object on a frame whose document shows `location` (null: the
    // document reports a null address; the text may hold NULs).
    void SetFrameLocation(const wchar_t* location);
    void SetFrameLocation(const std::wstring& location);
    // A failing status makes the document's get_URL fail with it.
    void SetDocumentStatus(HRESULT status) { documentStatus_ = status; }
    // How often the document was asked for its address.
    int DocumentRequests() const { return documentRequests_; }

    // The references held on the site, the caller's own included.
    LONG References() const { return references_; }

    IUnknown* AsUnknown() { return static_cast<IServiceProvider*>(this); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // IServiceProvider
    HRESULT STDMETHODCALLTYPE QueryService(REFGUID service, REFIID riid, void** object) override;
    // IOleClientSite
    HRESULT STDMETHODCALLTYPE SaveObject() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** moniker) override;
    HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** container) override;
    HRESULT STDMETHODCALLTYPE ShowObject() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }

    // Used by the browser and the document objects.
    HRESULT Location(BSTR* location);
    HRESULT DocumentLocation(BSTR* location);

private:
    // An address as the browser or a document reports it.
    struct Address {
        bool present = false;  // false: reported as a null string
        std::wstring text;
        void Set(const wchar_t* address);
        void Set(const std::wstring& address);
        // A new string by the browser's own allocator: the product must not count it.
        HRESULT Copy(BSTR* address) const;
    };

    StandInSite(SiteKind kind, const wchar_t* location);
    ~StandInSite();

    SiteKind kind_;
    LONG references_ = 1;
    Address page_;
    HRESULT locationStatus_ = S_OK;
    int locationRequests_ = 0;
    DocumentKind documentKind_ = DocumentKind::ThePage;
    Address frame_;
    HRESULT documentStatus_ = S_OK;
    int documentRequests_ = 0;
};
#pragma GCC diagnostic pop

// Stand-in sites, browsers and documents still alive: 0 once every reference is gone.
long LiveStandInObjects();

}  // namespace standin
