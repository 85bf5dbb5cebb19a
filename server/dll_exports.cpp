// The DLL's four entry points. Until the class factory and self-registration
// exist they refuse honestly instead of pretending success.
#include "platform/win32.h"

STDAPI DllGetClassObject(REFCLSID, REFIID, void** object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    return CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllCanUnloadNow() { return S_OK; }

STDAPI DllRegisterServer() { return E_NOTIMPL; }

STDAPI DllUnregisterServer() { return E_NOTIMPL; }
