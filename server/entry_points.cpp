#include "server/entry_points.h"

#include "platform/failure_barrier.h"
#include "server/module.h"
#include "server/module_records.h"
#include "server/object_map.h"
#include "server/proxy_stub.h"

namespace server {

namespace {

HRESULT FindClassObject(REFCLSID clsid, REFIID iid, void** object) {
    // Checked before the proxy/stub part is asked: the RPC run time writes
    // through the out-pointer without testing it.
    if (object == nullptr) return E_POINTER;
    if (ProxyStubGetClassObject(clsid, iid, object) == S_OK) return S_OK;
    ComModule& com = TheComModule();
    if (!com.Usable()) return E_UNEXPECTED;
    *object = nullptr;

    ObjectMapEntry* found = nullptr;
    for (ObjectMapEntry* entry : com.Entries()) {
        if (entry != nullptr && entry->createClassObject != nullptr && IsEqualCLSID(*entry->clsid, clsid)) {
            found = entry;
            break;
        }
    }
    if (found == nullptr) return CLASS_E_CLASSNOTAVAILABLE;

    HRESULT status = S_OK;
    if (found->classObject.load() == nullptr) {
        LockGuard guard(com.ObjectMapLock());
        if (found->classObject.load() == nullptr) {
            void* built = nullptr;
            status = found->createClassObject(found->createInstance, IID_IUnknown, &built);
            if (SUCCEEDED(status)) found->classObject.store(static_cast<IUnknown*>(built));
        }
    }
    if (IUnknown* classObject = found->classObject.load()) status = classObject->QueryInterface(iid, object);
    if (*object == nullptr && status == S_OK) return CLASS_E_CLASSNOTAVAILABLE;
    return status;
}

}  // namespace

HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** object) noexcept {
    return platform::Guarded([&] { return FindClassObject(clsid, iid, object); });
}

HRESULT CanUnloadNow() noexcept {
    return platform::Guarded([] {
        const HRESULT proxies = ProxyStubCanUnloadNow();
        if (proxies != S_OK) return proxies;
        return TheModule().LockCount() == 0 ? S_OK : S_FALSE;
    });
}

}  // namespace server
