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
