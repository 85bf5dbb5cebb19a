/* A DLL that only carries the server's resources: the registrar tests copy it
   to chosen paths and run its registry scripts. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)instance;
    (void)reason;
    (void)reserved;
    return TRUE;
}
