// A stand-in for the web browser that hosts a scriptable object: a site that
// offers IServiceProvider, whose SID_SWebBrowserApp service is an IWebBrowser2
// that can tell only its page address (get_LocationURL); every other member
// answers E_NOTIMPL. Variants stand for containers that are not browsers.
#pragma once

#include <string>

#include <windows.h>
#include <servprov.h>

namespace standin {

enum class SiteKind {
    WebBrowser,         // offers the browser service
    NotABrowser,        // offers IServiceProvider, but no browser service
    NoServiceProvider,  // a bare IUnknown
};

// Destroyed by its own Release, never through an interface pointer.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class StandInSite final : public IServiceProvider {
public:
    // A new site holding one reference for the caller. A null location makes
    // the browser report a null address.
    static StandInSite* Create(SiteKind kind, const wchar_t* location);

    // The page the browser shows from now on (null: no address).
    void SetLocation(const wchar_t* location);
    // An address whose stored length may hold NULs.
    void SetLocation(const std::wstring& location);
    // A failing status makes get_LocationURL fail with it.
    void SetLocationStatus(HRESULT status) { locationStatus_ = status; }
    // How often the browser was asked for its address.
    int LocationRequests() const { return locationRequests_; }
    // The references held on the site, the caller's own included.
    LONG References() const { return references_; }

    IUnknown* AsUnknown() { return static_cast<IServiceProvider*>(this); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE QueryService(REFGUID service, REFIID riid, void** object) override;

    // Used by the browser object.
    HRESULT Location(BSTR* location);

private:
    StandInSite(SiteKind kind, const wchar_t* location);
    ~StandInSite();

    SiteKind kind_;
    LONG references_ = 1;
    bool hasLocation_ = false;
    std::wstring location_;
    HRESULT locationStatus_ = S_OK;
    int locationRequests_ = 0;
};
#pragma GCC diagnostic pop

// Stand-in sites and browsers still alive: 0 once every reference is gone.
long LiveStandInObjects();

}  // namespace standin
