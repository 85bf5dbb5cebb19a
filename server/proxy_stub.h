// The merged proxy/stub part of IControlInstaller, served through the RPC run
// time. Written in C: the run time's proxy structures are C-only declarations.
#pragma once

#include "platform/win32.h"

#ifdef __cplusplus
extern "C" {
#endif

HRESULT ProxyStubGetClassObject(REFCLSID clsid, REFIID iid, void** object);
HRESULT ProxyStubCanUnloadNow(void);
HRESULT ProxyStubRegister(HINSTANCE module);
HRESULT ProxyStubUnregister(HINSTANCE module);

#ifdef __cplusplus
}
#endif
