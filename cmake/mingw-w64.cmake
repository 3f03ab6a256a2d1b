# Cross build for 64-bit Windows with Debian's MinGW-w64 (posix thread model).
# The C++ runtime (libstdc++, libgcc, winpthread) is linked as DLLs, never
# statically: the library and the program that loads it must share one runtime,
# hence one std::cout and one std::cerr. cmake/MinGWRuntime.cmake puts those
# DLLs beside the programs and into the Windows package.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(VTSUPPORT_WINE NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
if(NOT VTSUPPORT_WINE)
    find_program(VTSUPPORT_WINE NAMES wine64 wine)
endif()
if(VTSUPPORT_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR "${VTSUPPORT_WINE}")
endif()
