#include "tools/pagehost/script_site.h"

#include <string_view>

#include "tools/pagehost/text.h"

namespace pagehost {

ScriptSite::ScriptSite(std::FILE* errors, std::wstring scriptName)
    : errors_(errors), scriptName_(std::move(scriptName)) {}

void ScriptSite::AddItem(std::wstring name, ComPtr<IUnknown> object) {
    items_.emplace_back(std::move(name), std::move(object));
}

STDMETHODIMP ScriptSite::QueryInterface(REFIID iid, void** object) {
    if (object == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, __uuidof(IActiveScriptSite))) {
        *object = static_cast<IActiveScriptSite*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) ScriptSite::AddRef() { return ++refs_; }

STDMETHODIMP_(ULONG) ScriptSite::Release() {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
}

// The engine's own default locale is fine for a test page.
STDMETHODIMP ScriptSite::GetLCID(LCID*) { return E_NOTIMPL; }

STDMETHODIMP ScriptSite::GetItemInfo(LPCOLESTR name, DWORD mask, IUnknown** item, ITypeInfo** info) {
    if (item != nullptr) *item = nullptr;
    if (info != nullptr) *info = nullptr;
    if ((mask & SCRIPTINFO_IUNKNOWN) && item == nullptr) return E_POINTER;
    if ((mask & SCRIPTINFO_ITYPEINFO) && info == nullptr) return E_POINTER;
    const std::wstring_view wanted = name ? name : L"";
    for (const auto& [itemName, object] : items_) {
        if (itemName != wanted) continue;
        if (mask & SCRIPTINFO_IUNKNOWN) {
            *item = object.get();
            (*item)->AddRef();
        }
        // No type information is offered: the script reaches members by name.
        return S_OK;
    }
    return TYPE_E_ELEMENTNOTFOUND;
}

STDMETHODIMP ScriptSite::GetDocVersionString(BSTR* version) {
    if (version != nullptr) *version = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP ScriptSite::OnScriptTerminate(const VARIANT*, const EXCEPINFO*) { return S_OK; }
STDMETHODIMP ScriptSite::OnStateChange(SCRIPTSTATE) { return S_OK; }
STDMETHODIMP ScriptSite::OnEnterScript() { return S_OK; }
STDMETHODIMP ScriptSite::OnLeaveScript() { return S_OK; }

STDMETHODIMP ScriptSite::OnScriptError(IActiveScriptError* error) {
    errorReported_ = true;
    if (error == nullptr) return S_OK;
    EXCEPINFO info{};
    if (FAILED(error->GetExceptionInfo(&info))) info = EXCEPINFO{};
    if (info.pfnDeferredFillIn != nullptr) info.pfnDeferredFillIn(&info);
    DWORD context = 0;
    ULONG line = 0;
    LONG column = 0;
    if (FAILED(error->GetSourcePosition(&context, &line, &column))) line = 0, column = -1;

    const std::wstring_view description = info.bstrDescription ? info.bstrDescription : L"";
    const HRESULT code = info.scode != 0 ? info.scode : MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, info.wCode);
    // Engines count lines and columns from 0; editors count from 1.
    const std::string where = ToUtf8(scriptName_) + ":" + std::to_string(line + 1) + ":" +
                              std::to_string(column + 1);
    std::fprintf(errors_, "%s: script error 0x%08lX: %s\n", where.c_str(), static_cast<unsigned long>(code),
                 description.empty() ? "(no description)" : ToUtf8(description).c_str());
    std::fflush(errors_);
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrHelpFile);
    return S_OK;
}

}  // namespace pagehost
