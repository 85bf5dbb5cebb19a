#include "tools/pagehost/page_object.h"

#include <cwchar>
#include <string_view>

#include "platform/owned_variant.h"
#include "tools/pagehost/text.h"

namespace pagehost {

namespace {

// What a browser's document.write shows for a value: script values that COM
// has no text for (undefined, null) are written the way script spells them.
HRESULT ValueText(const VARIANT& value, std::wstring& text) {
    switch (V_VT(&value)) {
    case VT_EMPTY: text = L"undefined"; return S_OK;
    case VT_NULL: text = L"null"; return S_OK;
    case VT_BOOL: text = V_BOOL(&value) ? L"true" : L"false"; return S_OK;
    default: break;
    }
    platform::OwnedVariant converted;
    const HRESULT hr = VariantChangeType(&converted, const_cast<VARIANT*>(&value), 0, VT_BSTR);
    if (FAILED(hr)) return hr;
    text.assign(V_BSTR(&converted), SysStringLen(V_BSTR(&converted)));
    return S_OK;
}

}  // namespace

PageObject::PageObject(std::FILE* out, std::wstring location) : out_(out), location_(std::move(location)) {}

STDMETHODIMP PageObject::GetTypeInfoCount(UINT* count) {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    return S_OK;
}

STDMETHODIMP PageObject::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info != nullptr) *info = nullptr;
    return DISP_E_BADINDEX;
}

STDMETHODIMP PageObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (names == nullptr || ids == nullptr) return E_POINTER;
    HRESULT hr = S_OK;
    for (UINT i = 0; i < count; ++i) {
        const std::wstring_view name = names[i] ? names[i] : L"";
        // Only the first name is a member; the rest would be argument names.
        if (i == 0 && name == L"write") ids[i] = kWrite;
        else if (i == 0 && name == L"writeln") ids[i] = kWriteLine;
        else if (i == 0 && name == L"location") ids[i] = kLocation;
        else { ids[i] = DISPID_UNKNOWN; hr = DISP_E_UNKNOWNNAME; }
    }
    return hr;
}

STDMETHODIMP PageObject::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                VARIANT* result, EXCEPINFO*, UINT* badArgument) {
    if (params == nullptr) return E_INVALIDARG;
    if (result != nullptr) VariantInit(result);
    switch (id) {
    case kWrite:
    case kWriteLine:
        if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
        return Write(*params, id == kWriteLine, badArgument);
    case kLocation:
        if (!(flags & DISPATCH_PROPERTYGET)) return DISP_E_MEMBERNOTFOUND;
        if (params->cArgs != 0) return DISP_E_BADPARAMCOUNT;
        if (result == nullptr) return S_OK;
        V_VT(result) = VT_BSTR;
        V_BSTR(result) = SysAllocStringLen(location_.data(), static_cast<UINT>(location_.size()));
        return V_BSTR(result) ? S_OK : E_OUTOFMEMORY;
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

HRESULT PageObject::Write(const DISPPARAMS& params, bool newline, UINT* badArgument) {
    if (params.cNamedArgs != 0) return DISP_E_NONAMEDARGS;
    // Arguments arrive last first; the whole line is built before anything is
    // printed, so a value that can't be shown prints nothing at all.
    std::wstring line;
    for (UINT i = params.cArgs; i-- > 0;) {
        std::wstring text;
        const HRESULT hr = ValueText(params.rgvarg[i], text);
        if (FAILED(hr)) {
            if (badArgument != nullptr) *badArgument = i;
            return hr;
        }
        line += text;
    }
    if (newline) line += L'\n';
    const std::string bytes = ToUtf8(line);
    std::fwrite(bytes.data(), 1, bytes.size(), out_);
    return S_OK;
}

}  // namespace pagehost
