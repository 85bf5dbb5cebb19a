#include "tools/pagehost/browser_site.h"

#include <exdisp.h>
#include <servprov.h>
#include <shlguid.h>

namespace pagehost {

namespace {

// The members a page never reaches through this host; the object asks only for
// the location.
#define PAGEHOST_NOT_HERE(name, ...) \
    STDMETHODIMP name(__VA_ARGS__) override { return E_NOTIMPL; }

class Browser final : public IWebBrowser2 {
public:
    explicit Browser(std::wstring url) : url_(std::move(url)) {}

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, IID_IWebBrowser) ||
            IsEqualIID(iid, IID_IWebBrowserApp) || IsEqualIID(iid, IID_IWebBrowser2)) {
            *object = static_cast<IWebBrowser2*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() override {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }

    STDMETHODIMP get_LocationURL(BSTR* url) override {
        if (url == nullptr) return E_POINTER;
        *url = SysAllocStringLen(url_.data(), static_cast<UINT>(url_.size()));
        return *url ? S_OK : E_OUTOFMEMORY;
    }

    PAGEHOST_NOT_HERE(GetTypeInfoCount, UINT*)
    PAGEHOST_NOT_HERE(GetTypeInfo, UINT, LCID, ITypeInfo**)
    PAGEHOST_NOT_HERE(GetIDsOfNames, REFIID, LPOLESTR*, UINT, LCID, DISPID*)
    PAGEHOST_NOT_HERE(Invoke, DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*)
    PAGEHOST_NOT_HERE(GoBack)
    PAGEHOST_NOT_HERE(GoForward)
    PAGEHOST_NOT_HERE(GoHome)
    PAGEHOST_NOT_HERE(GoSearch)
    PAGEHOST_NOT_HERE(Navigate, BSTR, VARIANT*, VARIANT*, VARIANT*, VARIANT*)
    PAGEHOST_NOT_HERE(Refresh)
    PAGEHOST_NOT_HERE(Refresh2, VARIANT*)
    PAGEHOST_NOT_HERE(Stop)
    PAGEHOST_NOT_HERE(get_Application, IDispatch**)
    PAGEHOST_NOT_HERE(get_Parent, IDispatch**)
    PAGEHOST_NOT_HERE(get_Container, IDispatch**)
    PAGEHOST_NOT_HERE(get_Document, IDispatch**)
    PAGEHOST_NOT_HERE(get_TopLevelContainer, VARIANT_BOOL*)
    PAGEHOST_NOT_HERE(get_Type, BSTR*)
    PAGEHOST_NOT_HERE(get_Left, LONG*)
    PAGEHOST_NOT_HERE(put_Left, LONG)
    PAGEHOST_NOT_HERE(get_Top, LONG*)
    PAGEHOST_NOT_HERE(put_Top, LONG)
    PAGEHOST_NOT_HERE(get_Width, LONG*)
    PAGEHOST_NOT_HERE(put_Width, LONG)
    PAGEHOST_NOT_HERE(get_Height, LONG*)
    PAGEHOST_NOT_HERE(put_Height, LONG)
    PAGEHOST_NOT_HERE(get_LocationName, BSTR*)
    PAGEHOST_NOT_HERE(get_Busy, VARIANT_BOOL*)
    PAGEHOST_NOT_HERE(Quit)
    PAGEHOST_NOT_HERE(ClientToWindow, int*, int*)
    PAGEHOST_NOT_HERE(PutProperty, BSTR, VARIANT)
    PAGEHOST_NOT_HERE(GetProperty, BSTR, VARIANT*)
    PAGEHOST_NOT_HERE(get_Name, BSTR*)
    PAGEHOST_NOT_HERE(get_HWND, SHANDLE_PTR*)
    PAGEHOST_NOT_HERE(get_FullName, BSTR*)
    PAGEHOST_NOT_HERE(get_Path, BSTR*)
    PAGEHOST_NOT_HERE(get_Visible, VARIANT_BOOL*)
    PAGEHOST_NOT_HERE(put_Visible, VARIANT_BOOL)
    PAGEHOST_NOT_HERE(get_StatusBar, VARIANT_BOOL*)
    PAGEHOST_NOT_HERE(put_StatusBar, VARIANT_BOOL)
    PAGEHOST_NOT_HERE(get_StatusText, BSTR*)
    PAGEHOST_NOT_HERE(put_StatusText, BSTR)
    PAGEHOST_NOT_HERE(get_ToolBar, int*)
    PAGEHOST_NOT_HERE(put_ToolBar, int)
    PAGEHOST_NOT_HERE(get_MenuBar, VARIANT_BOOL*)
    PAGEHOST_NOT_HERE(put_MenuBar, VARIANT_BOOL)
    PAGEHOST_NOT_HERE(get_FullScreen, VARIANT_BOOL*)
    PAGEHOST_NOT_HERE(put_FullScreen, VARIANT_BOOL)
    PAGEHOST_NOT_HERE(Navigate2, VARIANT*, VARIANT*, VARIANT*, VARIANT*, VARIANT*)
    PAGEHOST_NOT_HERE(QueryStatusWB, OLECMDID, OLECMDF*)
    PAGEHOST_NOT_HERE(ExecWB, OLECMDID, OLECMDEXECOPT, VARIANT*, VARIANT*)
    PAGEHOST_NOT_HERE(ShowBrowserBar, VARIANT*, VARIANT*, VARIANT*)
    PAGEHOST_NOT_HERE(get_ReadyState, READYSTATE*)
    PAGEHOST_NOT_HERE(get_Offline, VARIANT_BOOL*)
    PAGEHOST_NOT_HERE(put_Offline, VARIANT_BOOL)
    PAGEHOST_NOT_HERE(get_Silent, VARIANT_BOOL*)
    PAGEHOST_NOT_HERE(put_Silent, VARIANT_BOOL)
    PAGEHOST_NOT_HERE(get_RegisterAsBrowser, VARIANT_BOOL*)
    PAGEHOST_NOT_HERE(put_RegisterAsBrowser, VARIANT_BOOL)
    PAGEHOST_NOT_HERE(get_RegisterAsDropTarget, VARIANT_BOOL*)
    PAGEHOST_NOT_HERE(put_RegisterAsDropTarget, VARIANT_BOOL)
    PAGEHOST_NOT_HERE(get_TheaterMode, VARIANT_BOOL*)
    PAGEHOST_NOT_HERE(put_TheaterMode, VARIANT_BOOL)
    PAGEHOST_NOT_HERE(get_AddressBar, VARIANT_BOOL*)
    PAGEHOST_NOT_HERE(put_AddressBar, VARIANT_BOOL)
    PAGEHOST_NOT_HERE(get_Resizable, VARIANT_BOOL*)
    PAGEHOST_NOT_HERE(put_Resizable, VARIANT_BOOL)

private:
    ~Browser() = default;
    ULONG refs_ = 1;
    std::wstring url_;
};

#undef PAGEHOST_NOT_HERE

class Site final : public IServiceProvider {
public:
    explicit Site(const std::wstring& url) : browser_(ComPtr<IWebBrowser2>::Adopt(new Browser(url))) {}

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IServiceProvider)) {
            *object = static_cast<IServiceProvider*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() override {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }

    STDMETHODIMP QueryService(REFGUID service, REFIID iid, void** object) override {
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        if (!IsEqualGUID(service, SID_SWebBrowserApp)) return E_NOINTERFACE;
        return browser_->QueryInterface(iid, object);
    }

private:
    ~Site() = default;
    ULONG refs_ = 1;
    ComPtr<IWebBrowser2> browser_;
};

}  // namespace

ComPtr<IUnknown> MakeBrowserSite(const std::wstring& url) {
    return ComPtr<IUnknown>::Adopt(static_cast<IServiceProvider*>(new Site(url)));
}

}  // namespace pagehost
