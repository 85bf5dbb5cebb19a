// The host side of the script engine: it hands the engine the page's named
// objects and reports script errors with their place in the page script.
#pragma once

#include <activscp.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "platform/com_ref.h"
#include "platform/win32.h"
#include "tools/pagehost/single_interface_object.h"

namespace pagehost {

class ScriptSite final : public SingleInterfaceObject<IActiveScriptSite> {
public:
    // Starts with one reference, owned by the caller. Errors go to `errors`, each
    // prefixed with the name of its script: the one whose place in `scriptNames` is
    // the source context the script was parsed with.
    ScriptSite(std::FILE* errors, std::vector<std::wstring> scriptNames);

    // A name the script can use, and the object behind it (the site keeps
    // a reference of its own).
    void AddItem(std::wstring name, IUnknown* object);
    bool ErrorReported() const { return errorReported_; }

    STDMETHODIMP GetLCID(LCID* lcid) override;
    STDMETHODIMP GetItemInfo(LPCOLESTR name, DWORD mask, IUnknown** item, ITypeInfo** info) override;
    STDMETHODIMP GetDocVersionString(BSTR* version) override;
    STDMETHODIMP OnScriptTerminate(const VARIANT* result, const EXCEPINFO* exception) override;
    STDMETHODIMP OnStateChange(SCRIPTSTATE state) override;
    STDMETHODIMP OnScriptError(IActiveScriptError* error) override;
    STDMETHODIMP OnEnterScript() override;
    STDMETHODIMP OnLeaveScript() override;

private:
    ~ScriptSite() override = default;

    std::FILE* errors_;
    std::vector<std::wstring> scriptNames_;
    std::vector<std::pair<std::wstring, platform::ComRef<IUnknown>>> items_;
    bool errorReported_ = false;
};

}  // namespace pagehost
