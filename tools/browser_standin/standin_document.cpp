#include "tools/browser_standin/standin_document.h"

#include <mshtml.h>

#include "tools/browser_standin/browser_standin.h"

namespace standin::detail {
namespace {

#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"  // destroyed by its own Release only

// The document that holds the object. It holds its site, so the address it
// reports is always the site's current one.
class StandInDocument final : public IHTMLDocument2, public IOleContainer {
public:
    StandInDocument(StandInSite* site, bool html) : site_(site), html_(html) {
        site_->AddRef();
        ObjectBorn();
    }
    StandInDocument(const StandInDocument&) = delete;
    StandInDocument& operator=(const StandInDocument&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IParseDisplayName) ||
            IsEqualIID(riid, IID_IOleContainer)) {
            *object = static_cast<IOleContainer*>(this);
        } else if (html_ && (IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, IID_IHTMLDocument) ||
                             IsEqualIID(riid, IID_IHTMLDocument2))) {
            *object = static_cast<IHTMLDocument2*>(this);
        } else {
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = InterlockedDecrement(&references_);
        if (left == 0) {
            site_->Release();
            delete this;
            ObjectGone();
        }
        return static_cast<ULONG>(left);
    }

    // IParseDisplayName, IOleContainer
    HRESULT STDMETHODCALLTYPE ParseDisplayName(IBindCtx*, LPOLESTR, ULONG*, IMoniker**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumObjects(DWORD, IEnumUnknown**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE LockContainer(BOOL) override { return E_NOTIMPL; }

    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }
    // IHTMLDocument
    HRESULT STDMETHODCALLTYPE get_Script(IDispatch**) override { return E_NOTIMPL; }
    // IHTMLDocument2: only the address is known.
    HRESULT STDMETHODCALLTYPE get_all(IHTMLElementCollection **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_body(IHTMLElement **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_activeElement(IHTMLElement **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_images(IHTMLElementCollection **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_applets(IHTMLElementCollection **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_links(IHTMLElementCollection **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_forms(IHTMLElementCollection **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_anchors(IHTMLElementCollection **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_title(BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_title(BSTR *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_scripts(IHTMLElementCollection **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_designMode(BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_designMode(BSTR *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_selection(IHTMLSelectionObject **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_readyState(BSTR *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_frames(IHTMLFramesCollection2 **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_embeds(IHTMLElementCollection **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_plugins(IHTMLElementCollection **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_alinkColor(VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_alinkColor(VARIANT *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_bgColor(VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_bgColor(VARIANT *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_fgColor(VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_fgColor(VARIANT *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_linkColor(VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_linkColor(VARIANT *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_vlinkColor(VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_vlinkColor(VARIANT *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_referrer(BSTR *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_location(IHTMLLocation **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_lastModified(BSTR *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_URL(BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_URL(BSTR* address) override { return site_->DocumentLocation(address); }
    HRESULT STDMETHODCALLTYPE put_domain(BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_domain(BSTR *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_cookie(BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_cookie(BSTR *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_expando(VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_expando(VARIANT_BOOL *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_charset(BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_charset(BSTR *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_defaultCharset(BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_defaultCharset(BSTR *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_mimeType(BSTR *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_fileSize(BSTR *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_fileCreatedDate(BSTR *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_fileModifiedDate(BSTR *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_fileUpdatedDate(BSTR *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_security(BSTR *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_protocol(BSTR *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_nameProp(BSTR *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE write(SAFEARRAY *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE writeln(SAFEARRAY *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE open(BSTR, VARIANT, VARIANT, VARIANT, IDispatch **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE close() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE clear() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE queryCommandSupported(BSTR, VARIANT_BOOL *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE queryCommandEnabled(BSTR, VARIANT_BOOL *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE queryCommandState(BSTR, VARIANT_BOOL *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE queryCommandIndeterm(BSTR, VARIANT_BOOL *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE queryCommandText(BSTR, BSTR *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE queryCommandValue(BSTR, VARIANT *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE execCommand(BSTR, VARIANT_BOOL, VARIANT, VARIANT_BOOL *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE execCommandShowHelp(BSTR, VARIANT_BOOL *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE createElement(BSTR, IHTMLElement **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_onhelp(VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_onhelp(VARIANT *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_onclick(VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_onclick(VARIANT *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_ondblclick(VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_ondblclick(VARIANT *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_onkeyup(VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_onkeyup(VARIANT *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_onkeydown(VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_onkeydown(VARIANT *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_onkeypress(VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_onkeypress(VARIANT *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_onmouseup(VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_onmouseup(VARIANT *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_onmousedown(VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_onmousedown(VARIANT *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_onmousemove(VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_onmousemove(VARIANT *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_onmouseout(VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_onmouseout(VARIANT *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_onmouseover(VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_onmouseover(VARIANT *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_onreadystatechange(VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_onreadystatechange(VARIANT *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_onafterupdate(VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_onafterupdate(VARIANT *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_onrowexit(VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_onrowexit(VARIANT *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_onrowenter(VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_onrowenter(VARIANT *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_ondragstart(VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_ondragstart(VARIANT *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_onselectstart(VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_onselectstart(VARIANT *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE elementFromPoint(LONG, LONG, IHTMLElement **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_parentWindow(IHTMLWindow2 **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_styleSheets(IHTMLStyleSheetsCollection **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_onbeforeupdate(VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_onbeforeupdate(VARIANT *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_onerrorupdate(VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_onerrorupdate(VARIANT *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE toString(BSTR *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE createStyleSheet(BSTR, LONG, IHTMLStyleSheet **) override { return E_NOTIMPL; }

private:
    LONG references_ = 1;
    StandInSite* site_;
    bool html_;
};

}  // namespace

IOleContainer* NewDocument(StandInSite* site, bool html) { return new StandInDocument(site, html); }

}  // namespace standin::detail
