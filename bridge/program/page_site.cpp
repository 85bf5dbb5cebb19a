#include "bridge/program/page_site.h"

#include <servprov.h>
#include <shlguid.h>

#include <new>
#include <utility>

#include "platform/location_browser.h"

namespace bridge {
namespace {

// What both objects share: the reference count, and QueryInterface over the
// interface identifiers under which each offers its one interface.
template <typename Interface>
class SingleInterfaceObject : public Interface {
public:
    SingleInterfaceObject() = default;
    SingleInterfaceObject(const SingleInterfaceObject&) = delete;
    SingleInterfaceObject& operator=(const SingleInterfaceObject&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        if (!IsEqualIID(riid, IID_IUnknown) && !Offers(riid)) return E_NOINTERFACE;
        *object = static_cast<Interface*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }

protected:
    virtual ~SingleInterfaceObject() = default;
    virtual bool Offers(REFIID riid) const = 0;

private:
    // The object lives in the host's one apartment: a plain count.
    ULONG references_ = 1;
};

// A browser that knows its location and nothing else.
class PageBrowser final : public SingleInterfaceObject<platform::LocationBrowser> {
public:
    explicit PageBrowser(std::wstring page) : page_(std::move(page)) {}

    bool Offers(REFIID riid) const override { return IsBrowserInterface(riid); }

    HRESULT STDMETHODCALLTYPE get_LocationURL(BSTR* location) override {
        if (location == nullptr) return E_POINTER;
        *location = SysAllocStringLen(page_.data(), static_cast<UINT>(page_.size()));
        return *location != nullptr ? S_OK : E_OUTOFMEMORY;
    }

private:
    const std::wstring page_;
};

// The site offers the web-browser service and nothing else. Each request for
// the service gets a browser of its own over the site's one address.
class PageSite final : public SingleInterfaceObject<IServiceProvider> {
public:
    explicit PageSite(std::wstring page) : page_(std::move(page)) {}

    bool Offers(REFIID riid) const override { return IsEqualIID(riid, IID_IServiceProvider); }

    HRESULT STDMETHODCALLTYPE QueryService(REFGUID service, REFIID riid, void** object) override {
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        if (!IsEqualGUID(service, SID_SWebBrowserApp)) return E_NOINTERFACE;
        try {
            const platform::ComRef<IWebBrowser2> browser(new PageBrowser(page_));
            return browser->QueryInterface(riid, object);
        } catch (...) {
            return E_OUTOFMEMORY;
        }
    }

private:
    const std::wstring page_;
};

}  // namespace

platform::ComRef<IUnknown> MakePageSite(std::wstring page) {
    try {
        return platform::ComRef<IUnknown>(new PageSite(std::move(page)));
    } catch (...) {
        return {};
    }
}

}  // namespace bridge
