# Cross toolchain of the updater: 32-bit Windows.
set(HALVERN_MINGW_ARCH i686)
include("${CMAKE_CURRENT_LIST_DIR}/mingw.cmake")
