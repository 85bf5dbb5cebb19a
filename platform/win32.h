// The Windows API as the system uses it. Inside the DLL and the Windows test
// programs these are the platform's own declarations; in the native host build
// they come from the in-memory stand-in, which behaves the same for everything
// the registrar and the text rules rely on.
#pragma once

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#else
#include "platform/host/win32_api.h"
#endif
