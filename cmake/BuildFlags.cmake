# brevander_build_flags: the warnings and the floating-point rules every target follows.
# The effect's output is defined to the bit, so no fused multiply-adds, no fast-math,
# and SSE2 rather than x87 on 32-bit x86.
add_library(brevander_build_flags INTERFACE)
target_compile_options(brevander_build_flags INTERFACE
  -Wall -Wextra -Wpedantic -Wconversion -Wshadow
  -ffp-contract=off -fno-fast-math
  $<$<BOOL:${BREVANDER_WERROR}>:-Werror>)
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(i.86|x86)$" OR CMAKE_SIZEOF_VOID_P EQUAL 4)
  target_compile_options(brevander_build_flags INTERFACE -msse2 -mfpmath=sse)
endif()
