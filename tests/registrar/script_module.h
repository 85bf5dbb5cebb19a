// A module file that carries the server's two registry scripts as "REGISTRY"
// resources 101 and 102, put at a chosen path and loaded, so that its module
// handle names that path. On Wine it is a copy of a small DLL built with the
// server's resources; on the host it is a module file of the stand-in.
#pragma once

#include <string>

#include "platform/win32.h"
#include "registrar/update_registry.h"

namespace registrar_test {

// A directory for module files, below which tests build their paths.
std::string ModuleDirectory();

class ScriptModuleFile {
public:
    explicit ScriptModuleFile(const std::string& path);
    ~ScriptModuleFile();
    ScriptModuleFile(const ScriptModuleFile&) = delete;
    ScriptModuleFile& operator=(const ScriptModuleFile&) = delete;

    HMODULE handle() const { return handle_; }
    const std::string& path() const { return path_; }

private:
    std::string path_;
    HMODULE handle_ = nullptr;
};

// Makes sure the process's executable carries the two scripts too.
void GiveTheProgramTheScripts();

// The module object of a test: adds "APPID" (or fails with a chosen status)
// and names a module handle.
class TestModule final : public registrar::RegistrationModule {
public:
    explicit TestModule(HMODULE handle, HRESULT commonStatus = S_OK) : handle_(handle), commonStatus_(commonStatus) {}
    HRESULT AddCommonVariables(registrar::IScriptRegistrar* registrar) override;
    HMODULE ScriptModuleHandle() const override { return handle_; }
    int commonCalls = 0;

private:
    HMODULE handle_;
    HRESULT commonStatus_;
};

}  // namespace registrar_test
