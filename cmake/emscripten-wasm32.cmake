# The web build: Debian's emscripten compiling for wasm32. Emscripten's own
# toolchain file calls the processor x86 unless told otherwise, which would give
# the x86 floating-point options of BuildFlags.cmake to a compiler that has no x87
# to avoid; wasm32's arithmetic is IEEE double and single as written.
set(EMSCRIPTEN_SYSTEM_PROCESSOR wasm32)
if(DEFINED ENV{EMSCRIPTEN_ROOT})
  set(BREVANDER_EMSCRIPTEN_ROOT $ENV{EMSCRIPTEN_ROOT})
else()
  set(BREVANDER_EMSCRIPTEN_ROOT /usr/share/emscripten)
endif()
include(${BREVANDER_EMSCRIPTEN_ROOT}/cmake/Modules/Platform/Emscripten.cmake)
# WebAssembly's 128-bit SIMD, which every current browser runs, gives the kernel
# its two-lane f64x2 type (WasmSimdLanes.h).
set(CMAKE_CXX_FLAGS_INIT -msimd128)
