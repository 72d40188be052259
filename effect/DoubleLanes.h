// Two double-precision lanes that the block kernel (StereoPipeline.h) carries the
// sum and the difference in, side by side. The kernel is written once over this
// interface; each implementation maps it to one instruction set:
//   SseLanes      SSE2 on x86 and x86-64 (__m128d)
//   NeonLanes     Advanced SIMD on aarch64 (float64x2_t)
//   WasmSimdLanes WebAssembly's 128-bit SIMD (f64x2), for the web build
//   PortableLanes two plain doubles, for every other processor (32-bit ARM among
//                 them, where vector doubles do not exist) and for tests anywhere.
// Every operation is, lane by lane, one IEEE operation in double precision or one
// rounding to single precision, so all of them give the same bits as the section
// types' processSample.
#pragma once

#include <concepts>

// Lanes::Doubles holds two doubles, Lanes::Singles two floats (lane 0 and lane 1).
template <class Lanes>
concept DoubleLanes = requires(typename Lanes::Doubles d, typename Lanes::Singles s, double x, float f, const float* in,
                               float* out) {
    { Lanes::make(x, x) } -> std::same_as<typename Lanes::Doubles>;  // lane 0, lane 1
    { Lanes::splat(x) } -> std::same_as<typename Lanes::Doubles>;
    { Lanes::makeSingles(f, f) } -> std::same_as<typename Lanes::Singles>;
    { Lanes::splatSingles(f) } -> std::same_as<typename Lanes::Singles>;
    // Two floats, one from each address, widened.
    { Lanes::load(in, in) } -> std::same_as<typename Lanes::Doubles>;
    // Lane 0 to the first address, lane 1 to the second.
    Lanes::store(s, out, out);
    { Lanes::add(d, d) } -> std::same_as<typename Lanes::Doubles>;
    { Lanes::sub(d, d) } -> std::same_as<typename Lanes::Doubles>;
    { Lanes::mul(d, d) } -> std::same_as<typename Lanes::Doubles>;
    // Sum and product of two singles, rounded once to single: what rounding the
    // exact double sum or product of two floats gives.
    { Lanes::addSingles(s, s) } -> std::same_as<typename Lanes::Singles>;
    { Lanes::mulSingles(s, s) } -> std::same_as<typename Lanes::Singles>;
    // Each lane rounded to single precision, and back (exact).
    { Lanes::narrow(d) } -> std::same_as<typename Lanes::Singles>;
    { Lanes::widen(s) } -> std::same_as<typename Lanes::Doubles>;
    // [x0, x1] -> [x0 + x1, x0 - x1].
    { Lanes::sumAndDifference(d) } -> std::same_as<typename Lanes::Doubles>;
    // Lane 0 set to +0, lane 1 kept.
    { Lanes::zeroLane0(d) } -> std::same_as<typename Lanes::Doubles>;
    { Lanes::lane0(d) } -> std::same_as<double>;
    { Lanes::lane1(d) } -> std::same_as<double>;
};

#include "PortableLanes.h"
#if defined(__SSE2__)
#include "SseLanes.h"
using NativeLanes = SseLanes;
#elif defined(__aarch64__) && defined(__ARM_NEON)
#include "NeonLanes.h"
using NativeLanes = NeonLanes;
#elif defined(__wasm_simd128__)
#include "WasmSimdLanes.h"
using NativeLanes = WasmSimdLanes;
#else
using NativeLanes = PortableLanes;
#endif

static_assert(DoubleLanes<PortableLanes>);
static_assert(DoubleLanes<NativeLanes>);
