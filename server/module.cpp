#include "server/module.h"

#include <objidl.h>

#include "platform/com_ref.h"
#include "registrar/script_registrar.h"
#include "server/object_map.h"
#include "server_ids.h"

namespace server {
namespace {
Module* g_module = nullptr;
}  // namespace

Module& TheModule() noexcept { return *g_module; }

Module::Module(HMODULE scriptModule, const GUID& libraryId) noexcept
    : initialised_(1), scriptModule_(scriptModule), libraryId_(libraryId) {
    g_module = this;
    if (!dataLock_.Initialised()) NoteLockInitialisationFailure();
    for (ObjectMapEntry* entry : ObjectMap()) {
        if (entry != nullptr && entry->startStop != nullptr) entry->startStop(true);
    }
}

Module::~Module() {
    for (ObjectMapEntry* entry : ObjectMap()) {
        if (entry != nullptr && entry->startStop != nullptr) entry->startStop(false);
    }
    if (initialised_ != 0) {
        if (dataLock_.Initialised()) termination_.Run();
        platform::ComRef<IGlobalInterfaceTable> table(globalInterfaceTable_.exchange(nullptr));
        initialised_ = 0;
    }
}

HRESULT Module::AddCommonVariables(registrar::IScriptRegistrar* registrar) {
    if (registrar == nullptr) return E_POINTER;
    return registrar->AddVariable(L"APPID", TERVAGON_APPID_WIDE);
}

LONG Module::AddLock() noexcept { return lockCount_.fetch_add(1) + 1; }

LONG Module::ReleaseLock() noexcept { return lockCount_.fetch_sub(1) - 1; }

LONG Module::LockCount() const noexcept { return lockCount_.load(); }

HRESULT Module::GlobalInterfaceTable(IGlobalInterfaceTable** table) noexcept {
    if (table == nullptr) return E_POINTER;
    *table = nullptr;
    IGlobalInterfaceTable* held = globalInterfaceTable_.load();
    if (held == nullptr) {
        platform::ComRef<IGlobalInterfaceTable> created;
        const HRESULT status = CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER,
                                                IID_IGlobalInterfaceTable, created.ReceiveVoid());
        if (FAILED(status)) return status;
        // Two threads may race to create it; the loser's copy goes with its
        // holder, so that exactly one is kept and released at teardown.
        if (globalInterfaceTable_.compare_exchange_strong(held, created.Get())) held = created.Detach();
    }
    held->AddRef();
    *table = held;
    return S_OK;
}

}  // namespace server
