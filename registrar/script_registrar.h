// The registrar object: holds the script variables of one registration run and
// runs registry scripts stored as "REGISTRY" resources in a module's file.
#pragma once

#include "platform/win32.h"
#include "registrar/variable_table.h"

namespace registrar {

// COM objects are destroyed through Release, never through a pointer to
// IUnknown, whose destructor the platform declares non-virtual.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

// What the module object sees of a registrar: it adds its variables here.
struct IScriptRegistrar : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE AddVariable(LPCOLESTR name, LPCOLESTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE ClearVariables() = 0;

protected:
    virtual ~IScriptRegistrar() = default;
};

// Lives on the stack of one registration run; it is not reference counted.
class ScriptRegistrar final : public IScriptRegistrar {
public:
    ScriptRegistrar() = default;
    ~ScriptRegistrar() override = default;  // the table frees every name and value
    ScriptRegistrar(const ScriptRegistrar&) = delete;
    ScriptRegistrar& operator=(const ScriptRegistrar&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 0; }
    HRESULT STDMETHODCALLTYPE AddVariable(LPCOLESTR name, LPCOLESTR value) override;
    HRESULT STDMETHODCALLTYPE ClearVariables() override;

    // Only the low 16 bits of resourceId are used, as an integer resource name.
    HRESULT RegisterScriptResource(LPCOLESTR modulePath, UINT resourceId, LPCOLESTR resourceType);
    HRESULT UnregisterScriptResource(LPCOLESTR modulePath, UINT resourceId, LPCOLESTR resourceType);
    // Opens the module's file as data, copies the resource's bytes as script
    // text and runs it in the given mode.
    HRESULT RunScriptResource(LPCOLESTR modulePath, LPCSTR resourceName, LPCSTR resourceType,
                              bool doRegister);

    // The value of the first variable named so, without regard to case; null when absent.
    const OLECHAR* FindVariable(const char* name) const { return variables_.Find(name); }
    int VariableCount() const { return variables_.Count(); }

private:
    HRESULT RunTypedScriptResource(LPCOLESTR modulePath, UINT resourceId, LPCOLESTR resourceType,
                                   bool doRegister);

    VariableTable variables_;
};

#pragma GCC diagnostic pop

}  // namespace registrar
