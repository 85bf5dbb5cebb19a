// The module object: what keeps the DLL loaded (the lock count), the clean-up
// run at teardown, the recursive module data lock and the common variables of
// the registry scripts. One per process, built before DllMain runs.
#pragma once

#include <atomic>

#include "platform/win32.h"
#include "registrar/update_registry.h"
#include "server/critical_section.h"
#include "server/termination_list.h"

struct IGlobalInterfaceTable;

namespace server {

class Module : public registrar::RegistrationModule {
public:
    Module(HMODULE scriptModule, const GUID& libraryId) noexcept;
    virtual ~Module();
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;

    // Live objects, client references to the class object beyond the map's
    // own, and outstanding LockServer(TRUE) calls. Atomic: any thread may
    // change it.
    virtual LONG AddLock() noexcept;
    virtual LONG ReleaseLock() noexcept;
    virtual LONG LockCount() const noexcept;
    // The process's standard global interface table, created on first request.
    virtual HRESULT GlobalInterfaceTable(IGlobalInterfaceTable** table) noexcept;

    // The registry scripts' common variables: "APPID" with the server's AppID.
    HRESULT AddCommonVariables(registrar::IScriptRegistrar* registrar) override;
    HMODULE ScriptModuleHandle() const override { return scriptModule_; }

    HRESULT AddTermination(TerminationCallback callback, DWORD_PTR argument) noexcept {
        return termination_.Add(callback, argument);
    }
    CriticalSection& DataLock() noexcept { return dataLock_; }
    const GUID& LibraryId() const noexcept { return libraryId_; }
    bool Usable() const noexcept { return initialised_ != 0; }

private:
    DWORD initialised_;
    std::atomic<LONG> lockCount_{0};
    CriticalSection dataLock_;
    TerminationList termination_{dataLock_};
    std::atomic<IGlobalInterfaceTable*> globalInterfaceTable_{nullptr};
    HMODULE scriptModule_;
    GUID libraryId_;
};

// The process-wide module object.
Module& TheModule() noexcept;

}  // namespace server
