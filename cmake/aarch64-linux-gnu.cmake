# Cross build for 64-bit ARM Linux with Debian's cross compiler. Test programs run
# under qemu-user.
set(BREVANDER_LINUX_TRIPLET aarch64-linux-gnu)
set(BREVANDER_LINUX_PROCESSOR aarch64)
set(BREVANDER_QEMU qemu-aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/LinuxCross.cmake)
