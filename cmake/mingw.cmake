# Shared part of the cross toolchains: Windows with mingw-w64's posix thread model (GoogleTest
# needs it). The including file sets HALVERN_MINGW_ARCH (i686 or x86_64) first.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${HALVERN_MINGW_ARCH})
set(CMAKE_C_COMPILER ${HALVERN_MINGW_ARCH}-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER ${HALVERN_MINGW_ARCH}-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER ${HALVERN_MINGW_ARCH}-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${HALVERN_MINGW_ARCH}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# The stand-in drivers are i386 and AMD64 images whatever the programs are built for.
set(HALVERN_CC32 i686-w64-mingw32-gcc-posix CACHE STRING "32-bit C compiler for the i386 driver builds")
set(HALVERN_CC64 x86_64-w64-mingw32-gcc-posix CACHE STRING "64-bit C compiler for the AMD64 driver builds")
