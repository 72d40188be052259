# Shared part of the two Windows toolchain files; they set BREVANDER_WINDOWS_TRIPLET
# and BREVANDER_WINE_ARCH first.
set(CMAKE_SYSTEM_NAME Windows)
if(BREVANDER_WINDOWS_TRIPLET MATCHES "^i686")
  set(CMAKE_SYSTEM_PROCESSOR x86)
else()
  set(CMAKE_SYSTEM_PROCESSOR AMD64)
endif()

# The POSIX thread model gives the host side and the tests std::mutex and
# std::thread; every program and the plug-in link it statically (see -static).
set(CMAKE_C_COMPILER ${BREVANDER_WINDOWS_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${BREVANDER_WINDOWS_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${BREVANDER_WINDOWS_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${BREVANDER_WINDOWS_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# A Windows program found on the build machine only runs if it needs no runtime
# DLLs from the cross compiler, so every program is linked statically.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)

set(CMAKE_CROSSCOMPILING_EMULATOR
    ${CMAKE_CURRENT_LIST_DIR}/run-under-wine.sh ${CMAKE_BINARY_DIR}/wine-prefix ${BREVANDER_WINE_ARCH})
