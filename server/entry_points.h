// What the DLL's exports do, kept apart from the exports themselves so that a
// test program can link the server in and reach it directly. Each runs its
// work behind the failure barrier: nothing thrown reaches the loader,
// regsvr32 or the caller of the class object.
#pragma once

#include "platform/win32.h"

namespace server {

HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** object) noexcept;
HRESULT CanUnloadNow() noexcept;

// proxyModule is the module whose file the proxy/stub class is registered
// under: the DLL, as DllMain saw it at process attach.
HRESULT RegisterServer(HINSTANCE proxyModule) noexcept;
HRESULT UnregisterServer(HINSTANCE proxyModule) noexcept;

}  // namespace server
