# What both MinGW-w64 cross builds share; the toolchain file of each build sets
# TERVAGON_MINGW_PROCESSOR, TERVAGON_WIDL_ARCH and TERVAGON_WIDL_LIBDIR first.
# The posix thread model is the one GoogleTest's std::mutex needs.
set(triplet ${TERVAGON_MINGW_PROCESSOR}-w64-mingw32)
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${TERVAGON_MINGW_PROCESSOR})
set(CMAKE_C_COMPILER ${triplet}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triplet}-g++-posix)
set(CMAKE_RC_COMPILER ${triplet}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(TERVAGON_WIDL ${triplet}-widl)
unset(triplet)
