# Cross toolchain for testing on a build machine that cannot run 32-bit programs: the same
# sources as 64-bit Windows programs (see script/test). The updater itself ships as i686.
set(HALVERN_MINGW_ARCH x86_64)
include("${CMAKE_CURRENT_LIST_DIR}/mingw.cmake")
