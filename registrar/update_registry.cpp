#include "registrar/update_registry.h"

#include "platform/conversion.h"
#include "platform/failure_barrier.h"
#include "registrar/text_conversion.h"

namespace registrar {
namespace {

// Every single quote written twice: the scripts put the path inside a quoted
// token, where a doubled quote reads back as one.
bool DoubleSingleQuotes(const platform::WideString& path, platform::WideString& escaped) noexcept {
    return platform::Succeeds([&] {
        escaped.clear();
        escaped.reserve(path.size() * 2);
        for (const OLECHAR c : path) {
            escaped.push_back(c);
            if (c == OLECHAR('\'')) escaped.push_back(c);
        }
        return true;
    });
}

}  // namespace

HRESULT AddModuleVariables(IScriptRegistrar& registrar, const char* path, bool isExecutable,
                           platform::WideString* widePath) {
    platform::WideString wide;
    platform::WideString escaped;
    if (!NarrowToWide(path, wide) || !DoubleSingleQuotes(wide, escaped)) return E_OUTOFMEMORY;

    platform::WideString moduleValue;
    if (!platform::Succeeds([&] {
            moduleValue = isExecutable ? OLESTR("\"") + escaped + OLESTR("\"") : escaped;
            return true;
        }))
        return E_OUTOFMEMORY;
    HRESULT status = registrar.AddVariable(OLESTR("Module"), moduleValue.c_str());
    if (FAILED(status)) return status;
    if (FAILED(status = registrar.AddVariable(OLESTR("Module_Raw"), escaped.c_str()))) return status;
    if (widePath != nullptr) widePath->swap(wide);
    return S_OK;
}

namespace {

HRESULT RunWithVariables(ScriptRegistrar& registrar, RegistrationModule& module, UINT resourceId,
                         bool doRegister) {
    HRESULT status = module.AddCommonVariables(&registrar);
    if (FAILED(status)) return status;

    const HMODULE handle = module.ScriptModuleHandle();
    char path[kModulePathCapacity];
    const DWORD length = GetModuleFileNameA(handle, path, kModulePathCapacity);
    if (length == 0) {
        const DWORD code = GetLastError();
        return code == 0 ? E_FAIL : platform::HresultFromWin32(static_cast<LONG>(code));
    }
    if (length >= kModulePathCapacity) return platform::HresultFromWin32(ERROR_INSUFFICIENT_BUFFER);
    path[length] = '\0';

    platform::WideString widePath;
    const bool isExecutable = handle == nullptr || handle == GetModuleHandleA(nullptr);
    if (FAILED(status = AddModuleVariables(registrar, path, isExecutable, &widePath))) return status;

    return doRegister ? registrar.RegisterScriptResource(widePath.c_str(), resourceId, OLESTR("REGISTRY"))
                      : registrar.UnregisterScriptResource(widePath.c_str(), resourceId, OLESTR("REGISTRY"));
}

}  // namespace

HRESULT UpdateRegistryFromScript(RegistrationModule& module, UINT resourceId, bool doRegister,
                                 const ScriptVariable* extraVariables) {
    ScriptRegistrar registrar;
    // A pair that can't be added is passed over: a script that then uses the
    // missing variable fails at its expansion.
    for (const ScriptVariable* pair = extraVariables; pair != nullptr && pair->name != nullptr; ++pair)
        registrar.AddVariable(pair->name, pair->value);
    return RunWithVariables(registrar, module, resourceId, doRegister);
}

}  // namespace registrar
