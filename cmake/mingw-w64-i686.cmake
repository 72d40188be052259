# Cross build for 32-bit Windows with Debian's MinGW-w64 compiler. Test programs
# run under Wine in a prefix of their own inside the build tree.
set(BREVANDER_WINDOWS_TRIPLET i686-w64-mingw32)
set(BREVANDER_WINE_ARCH win32)
include(${CMAKE_CURRENT_LIST_DIR}/MinGW.cmake)
