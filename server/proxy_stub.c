#include "server/proxy_stub.h"

#include <rpcproxy.h>

#include "Tervagon.h"

extern const ExtendedProxyFileInfo Tervagon_ProxyFileInfo;

static const ProxyFileInfo* proxy_files[] = {(const ProxyFileInfo*)&Tervagon_ProxyFileInfo, NULL};
static CStdPSFactoryBuffer factory_buffer;

/* The proxy/stub class is named by the interface's own identifier. */
static const CLSID* proxy_clsid(void) { return &IID_IControlInstaller; }

/* Stub buffers of the generated code release themselves through this DLL's
   factory buffer. */
ULONG STDMETHODCALLTYPE CStdStubBuffer2_Release(IRpcStubBuffer* stub) {
    return NdrCStdStubBuffer2_Release(stub, (IPSFactoryBuffer*)&factory_buffer);
}

HRESULT ProxyStubGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
    return NdrDllGetClassObject(clsid, iid, object, proxy_files, proxy_clsid(), &factory_buffer);
}

HRESULT ProxyStubCanUnloadNow(void) { return NdrDllCanUnloadNow(&factory_buffer); }

HRESULT ProxyStubRegister(HINSTANCE module) {
    return NdrDllRegisterProxy(module, proxy_files, proxy_clsid());
}

HRESULT ProxyStubUnregister(HINSTANCE module) {
    return NdrDllUnregisterProxy(module, proxy_files, proxy_clsid());
}
