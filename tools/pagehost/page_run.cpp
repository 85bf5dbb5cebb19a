#include "tools/pagehost/page_run.h"

#include <activscp.h>
#include <ocidl.h>

#include "platform/com_ref.h"
#include "platform/owned_exception_info.h"
#include "tools/browser_standin/browser_site.h"
#include "tools/pagehost/page_object.h"
#include "tools/pagehost/script_site.h"
#include "tools/pagehost/text.h"

namespace pagehost {

namespace {

void Complain(std::FILE* errors, const char* what, const std::wstring& detail, HRESULT hr) {
    std::fprintf(errors, "pagehost: %s%s%s: 0x%08lX\n", what, detail.empty() ? "" : " ",
                 ToUtf8(detail).c_str(), static_cast<unsigned long>(hr));
}

// As a browser does for an object tag: an in-process instance by class
// identifier (a ProgID is looked up first).
HRESULT CreateObject(const Options& options, platform::ComRef<IUnknown>& object) {
    CLSID clsid{};
    const HRESULT hr = options.create == Options::Create::ByProgId
                           ? CLSIDFromProgID(options.classText.c_str(), &clsid)
                           : CLSIDFromString(options.classText.c_str(), &clsid);
    if (FAILED(hr)) return hr;
    return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, object.ReceiveVoid());
}

// Tears the engine down on every road; the engine holds the site and the
// named objects until it is closed.
class Engine {
public:
    ~Engine() {
        if (script) script->Close();
    }
    platform::ComRef<IActiveScript> script;
    platform::ComRef<IActiveScriptParse> parse;
};

}  // namespace

PageResult RunPage(const Options& options, const std::vector<std::wstring>& scriptTexts, std::FILE* out,
                   std::FILE* errors) {
    platform::ComRef<IUnknown> object;
    platform::ComRef<IObjectWithSite> withSite;
    if (options.create != Options::Create::None) {
        if (const HRESULT hr = CreateObject(options, object); FAILED(hr)) {
            Complain(errors, "cannot create", options.classText, hr);
            return PageResult::SetupFailed;
        }
        // A browser hands the site over before the page's script can reach the
        // object; an object without IObjectWithSite simply gets none.
        if (options.site && SUCCEEDED(object->QueryInterface(IID_IObjectWithSite, withSite.ReceiveVoid()))) {
            const platform::ComRef<IUnknown> site = standin::MakeBrowserSite(options.url, options.frameUrl);
            if (const HRESULT hr = withSite->SetSite(site.Get()); FAILED(hr)) {
                Complain(errors, "the object refused its site", L"", hr);
                return PageResult::SetupFailed;
            }
        }
    }
    // Whatever happens below, the page is torn down as a browser does when it
    // leaves a page: the object loses its site.
    struct SiteReset {
        platform::ComRef<IObjectWithSite>& withSite;
        ~SiteReset() { if (withSite) withSite->SetSite(nullptr); }
    } siteReset{withSite};

    // The script runs in the document that holds the object: on a frame, its
    // location is the frame's.
    const platform::ComRef<IUnknown> page(
        static_cast<IDispatch*>(new PageObject(out, options.frameUrl.value_or(options.url))));
    const platform::ComRef<ScriptSite> site(new ScriptSite(errors, options.scripts));
    site->AddItem(L"page", page.Get());
    if (object) site->AddItem(options.name, object.Get());

    Engine engine;
    CLSID jscript{};
    HRESULT hr = CLSIDFromProgID(L"JScript", &jscript);
    if (SUCCEEDED(hr)) {
        hr = CoCreateInstance(jscript, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IActiveScript), engine.script.ReceiveVoid());
    }
    if (SUCCEEDED(hr)) hr = engine.script->QueryInterface(__uuidof(IActiveScriptParse), engine.parse.ReceiveVoid());
    if (SUCCEEDED(hr)) hr = engine.parse->InitNew();
    if (SUCCEEDED(hr)) hr = engine.script->SetScriptSite(site.Get());
    if (SUCCEEDED(hr)) hr = engine.script->AddNamedItem(L"page", SCRIPTITEM_ISVISIBLE);
    if (SUCCEEDED(hr) && object) hr = engine.script->AddNamedItem(options.name.c_str(), SCRIPTITEM_ISVISIBLE);
    if (SUCCEEDED(hr)) hr = engine.script->SetScriptState(SCRIPTSTATE_CONNECTED);
    if (FAILED(hr)) {
        Complain(errors, "cannot start the JScript engine", L"", hr);
        return PageResult::SetupFailed;
    }

    // Each script's context is its place in the list, which names it in error reports.
    // As in a browser, a script error stops the page: later scripts don't run.
    for (size_t i = 0; i < scriptTexts.size(); ++i) {
        platform::OwnedExceptionInfo exception;
        hr = engine.parse->ParseScriptText(scriptTexts[i].c_str(), nullptr, nullptr, nullptr, i, 0, 0, nullptr,
                                           &exception);
        std::fflush(out);
        if (site->ErrorReported()) return PageResult::ScriptError;
        if (FAILED(hr)) {
            // An engine that fails without telling its site still fails the page.
            Complain(errors, "the script did not run", options.scripts[i], hr);
            return PageResult::ScriptError;
        }
    }
    return PageResult::Done;
}

}  // namespace pagehost
