# Cross-compiling Tervagon.DLL, the PE32 DLL that ships, for 32-bit Windows.
set(TERVAGON_MINGW_PROCESSOR i686)
set(TERVAGON_WIDL_ARCH --win32)
set(TERVAGON_WIDL_LIBDIR /usr/lib/i386-linux-gnu/wine/i386-windows)  # wine32:i386
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)
