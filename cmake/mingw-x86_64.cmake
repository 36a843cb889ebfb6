# The 64-bit Windows cross build, with Debian's mingw-w64 toolchain: the same
# code as the 32-bit plug-in, built to run the Windows tests under wine64 on a
# machine that cannot run 32-bit programs.
set(VELDARA_MINGW_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)
