# Cross build for 64-bit Windows with Debian's MinGW-w64 compiler. Test programs
# run under Wine in a prefix of their own inside the build tree.
set(BREVANDER_WINDOWS_TRIPLET x86_64-w64-mingw32)
set(BREVANDER_WINE_ARCH win64)
include(${CMAKE_CURRENT_LIST_DIR}/MinGW.cmake)
