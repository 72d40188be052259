# Cross build for 32-bit ARM Linux (Debian's armhf) with Debian's cross compiler.
# The instruction set is pinned in BuildFlags.cmake. Test programs run under
# qemu-user on an emulated core with VFPv3-D16 and no NEON (an ARMv7 Cortex-R5F),
# so that a NEON instruction, or a use of d16-d31, anywhere in a test program or
# the plug-in files stops the test with an illegal instruction.
set(BREVANDER_LINUX_TRIPLET arm-linux-gnueabihf)
set(BREVANDER_LINUX_PROCESSOR armv7l)
set(BREVANDER_QEMU qemu-arm -cpu cortex-r5f)
include(${CMAKE_CURRENT_LIST_DIR}/LinuxCross.cmake)
