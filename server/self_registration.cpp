// DllRegisterServer and DllUnregisterServer: fixed steps, stopping at the
// first failure without undoing the steps before it.
#include "platform/failure_barrier.h"
#include "registrar/update_registry.h"
#include "server/category_registration.h"
#include "server/entry_points.h"
#include "server/module.h"
#include "server/module_records.h"
#include "server/object_map.h"
#include "server/proxy_stub.h"
#include "server/type_library_registration.h"
#include "server_ids.h"

namespace server {
namespace {

const registrar::ScriptVariable kAppIdVariables[] = {
    {L"APPID", TERVAGON_APPID_WIDE},
    {nullptr, nullptr},
};

HRESULT RunAppIdScript(bool doRegister) {
    return registrar::UpdateRegistryFromScript(TheModule(), TERVAGON_RES_SCRIPT_APPID, doRegister,
                                               kAppIdVariables);
}

const CategoryMapEntry* CategoriesOf(const ObjectMapEntry& entry) {
    return entry.categoryMap != nullptr ? entry.categoryMap() : nullptr;
}

HRESULT RegisterSteps(HINSTANCE proxyModule) {
    HRESULT status = RunAppIdScript(true);
    if (FAILED(status)) return status;
    for (ObjectMapEntry* entry : TheComModule().Entries()) {
        if (entry == nullptr) continue;
        status = entry->updateRegistry(true);
        if (FAILED(status)) return status;
        status = UpdateClassCategories(*entry->clsid, CategoriesOf(*entry), true);
        if (FAILED(status)) return status;
    }
    status = RegisterServerTypeLibrary(TheComModule().TypeLibraryModule());
    if (FAILED(status)) return status;
    return ProxyStubRegister(proxyModule);
}

HRESULT UnregisterSteps(HINSTANCE proxyModule) {
    HRESULT status = S_OK;
    for (ObjectMapEntry* entry : TheComModule().Entries()) {
        if (entry == nullptr) continue;
        UpdateClassCategories(*entry->clsid, CategoriesOf(*entry), false);
        status = entry->updateRegistry(false);
        if (FAILED(status)) return status;
    }
    status = UnregisterServerTypeLibrary(TheComModule().TypeLibraryModule());
    if (FAILED(status)) return status;
    status = RunAppIdScript(false);
    if (FAILED(status)) return status;
    // The type library's removal also takes the interface's marshaling
    // entries; registering the proxy/stub once more lets its own removal find
    // everything it wrote.
    status = ProxyStubRegister(proxyModule);
    if (FAILED(status)) return status;
    return ProxyStubUnregister(proxyModule);
}

}  // namespace

HRESULT RegisterServer(HINSTANCE proxyModule) noexcept {
    return platform::Guarded([&] { return RegisterSteps(proxyModule); });
}

HRESULT UnregisterServer(HINSTANCE proxyModule) noexcept {
    return platform::Guarded([&] { return UnregisterSteps(proxyModule); });
}

}  // namespace server
