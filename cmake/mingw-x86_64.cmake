# Cross-compiling for 64-bit Windows: the same sources as Tervagon.DLL, the build
# for 64-bit hosts, tested under 64-bit Wine.
set(TERVAGON_MINGW_PROCESSOR x86_64)
set(TERVAGON_WIDL_ARCH --win64)
set(TERVAGON_WIDL_LIBDIR /usr/lib/x86_64-linux-gnu/wine/x86_64-windows)  # wine64
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)
