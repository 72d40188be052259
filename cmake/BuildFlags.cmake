# brevander_build_flags: the warnings and the floating-point rules every target follows.
# The effect's output is defined to the bit, so no fused multiply-adds (GCC fuses
# them by default on ARM), no fast-math, and SSE2 rather than x87 on 32-bit x86.
add_library(brevander_build_flags INTERFACE)
target_compile_options(brevander_build_flags INTERFACE
  -Wall -Wextra -Wpedantic -Wconversion -Wshadow
  -ffp-contract=off -fno-fast-math
  $<$<BOOL:${BREVANDER_WERROR}>:-Werror>)
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(i.86|x86)$")
  target_compile_options(brevander_build_flags INTERFACE -msse2 -mfpmath=sse)
elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^arm")
  # Debian's armhf baseline, which is also the cross compiler's default, written out
  # so that a compiler configured otherwise cannot raise it: ARMv7 with hard float
  # on VFPv3-D16, which has no NEON. Every double operation stays a scalar VFP one.
  target_compile_options(brevander_build_flags INTERFACE -march=armv7-a -mfpu=vfpv3-d16 -mfloat-abi=hard)
endif()
