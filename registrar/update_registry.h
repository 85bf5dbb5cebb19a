// Registration of a module from one of the registry scripts in its own file.
#pragma once

#include "platform/conversion.h"
#include "platform/win32.h"
#include "registrar/script_registrar.h"

namespace registrar {

struct ScriptVariable {
    const OLECHAR* name;
    const OLECHAR* value;
};  // an array of these is ended by an entry whose name is null

// Implemented by the server's module object.
class RegistrationModule {
public:
    virtual HRESULT AddCommonVariables(IScriptRegistrar* registrar) = 0;
    virtual HMODULE ScriptModuleHandle() const = 0;  // the module's own handle

protected:
    ~RegistrationModule() = default;
};

// A module's path as registration reads it: at most 259 bytes and the terminator.
constexpr DWORD kModulePathCapacity = MAX_PATH;

// Adds "Module" and "Module_Raw" for the module whose file is at the narrow
// path: the path with its single quotes doubled (the scripts put it inside a
// quoted token), "Module" wrapped in double quotes when the module is the
// process's executable. *widePath, when given, receives the path as UTF-16
// with its quotes as they are.
HRESULT AddModuleVariables(IScriptRegistrar& registrar, const char* path, bool isExecutable,
                           platform::WideString* widePath = nullptr);

// Runs the "REGISTRY" resource resourceId of the module's file in register or
// unregister mode. The variables are the caller's extra pairs (null or an
// array ended by a null name), then the module's common ones, then "Module"
// and "Module_Raw": the module's path with its single quotes doubled, "Module"
// wrapped in double quotes when the module is the process's executable.
HRESULT UpdateRegistryFromScript(RegistrationModule& module, UINT resourceId, bool doRegister,
                                 const ScriptVariable* extraVariables);

}  // namespace registrar
