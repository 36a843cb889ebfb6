# Cross build of the 32-bit Windows plug-in with Debian's mingw-w64 toolchain.
set(VELDARA_MINGW_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)
