# Cross build for 32-bit ARM Linux (Debian's armhf) with Debian's cross compiler.
# Test programs run under qemu-user. The instruction set is pinned in BuildFlags.cmake.
set(BREVANDER_LINUX_TRIPLET arm-linux-gnueabihf)
set(BREVANDER_LINUX_PROCESSOR armv7l)
set(BREVANDER_QEMU qemu-arm)
include(${CMAKE_CURRENT_LIST_DIR}/LinuxCross.cmake)
