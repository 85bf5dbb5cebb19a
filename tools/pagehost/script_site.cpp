#include "tools/pagehost/script_site.h"

#include <string_view>

#include "platform/owned_exception_info.h"
#include "tools/pagehost/text.h"

namespace pagehost {

namespace {

// Engines leave the description empty for a failure that a called object
// returned as a status; the automation layer's own failures are named here,
// anything else by the system's message for that status.
std::wstring StatusMessage(HRESULT code) {
    switch (code) {
    case DISP_E_BADPARAMCOUNT: return L"Invalid number of parameters.";
    case DISP_E_TYPEMISMATCH: return L"Type mismatch.";
    case DISP_E_PARAMNOTOPTIONAL: return L"Parameter not optional.";
    case DISP_E_MEMBERNOTFOUND: return L"Member not found.";
    case DISP_E_UNKNOWNNAME: return L"Unknown name.";
    case DISP_E_NONAMEDARGS: return L"No named arguments.";
    case DISP_E_OVERFLOW: return L"Out of present range.";
    case DISP_E_EXCEPTION: return L"Exception occurred.";
    default: break;
    }
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                            FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<LPWSTR>(&text), 0,
                                        nullptr);
    std::wstring message(text != nullptr ? text : L"", length);
    LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' '))
        message.pop_back();
    return message;
}

}  // namespace

ScriptSite::ScriptSite(std::FILE* errors, std::vector<std::wstring> scriptNames)
    : errors_(errors), scriptNames_(std::move(scriptNames)) {}

void ScriptSite::AddItem(std::wstring name, IUnknown* object) {
    object->AddRef();
    items_.emplace_back(std::move(name), platform::ComRef<IUnknown>(object));
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
            *item = object.Get();
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
    platform::OwnedExceptionInfo info;
    if (FAILED(error->GetExceptionInfo(&info))) info.Clear();
    if (info.pfnDeferredFillIn != nullptr) info.pfnDeferredFillIn(&info);
    DWORD context = 0;
    ULONG line = 0;
    LONG column = 0;
    if (FAILED(error->GetSourcePosition(&context, &line, &column))) line = 0, column = -1;

    const HRESULT code = info.scode != 0 ? info.scode : MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, info.wCode);
    std::wstring description = info.bstrDescription ? info.bstrDescription : L"";
    if (description.empty()) description = StatusMessage(code);
    // Engines count lines and columns from 0; editors count from 1.
    const std::wstring& scriptName = context < scriptNames_.size() ? scriptNames_[context] : scriptNames_.back();
    const std::string where = ToUtf8(scriptName) + ":" + std::to_string(line + 1) + ":" +
                              std::to_string(column + 1);
    std::fprintf(errors_, "%s: script error 0x%08lX: %s\n", where.c_str(), static_cast<unsigned long>(code),
                 description.empty() ? "(no description)" : ToUtf8(description).c_str());
    std::fflush(errors_);
    return S_OK;
}

}  // namespace pagehost
