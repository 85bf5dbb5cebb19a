// The DLL's entry points.
#include "server/critical_section.h"
#include "server/entry_points.h"

namespace {
// Remembered at process attach: the proxy/stub class is registered under the
// file of this module.
HINSTANCE g_proxyModule = nullptr;
}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_proxyModule = module;
        // The module-wide records were built before this call; without their
        // locks the server can't work, so the load is refused.
        if (server::LockInitialisationFailed()) return FALSE;
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
    return server::GetClassObject(clsid, iid, object);
}

STDAPI DllCanUnloadNow() { return server::CanUnloadNow(); }

STDAPI DllRegisterServer() { return server::RegisterServer(g_proxyModule); }

STDAPI DllUnregisterServer() { return server::UnregisterServer(g_proxyModule); }
