// DoubleLanes (DoubleLanes.h) in WebAssembly's 128-bit SIMD: the doubles as an
// f64x2, the singles in the low two lanes of an f32x4 (its upper two are never
// read). WebAssembly's vector arithmetic is IEEE arithmetic with round to nearest
// and subnormals kept, lane by lane, so it gives the scalar operations' bits.
#pragma once

#include <wasm_simd128.h>

struct WasmSimdLanes {
    using Doubles = v128_t;
    using Singles = v128_t;

    static Doubles make(double lane0, double lane1) { return wasm_f64x2_make(lane0, lane1); }
    static Doubles splat(double x) { return wasm_f64x2_splat(x); }
    static Singles makeSingles(float lane0, float lane1) { return wasm_f32x4_make(lane0, lane1, 0.0f, 0.0f); }
    static Singles splatSingles(float x) { return wasm_f32x4_splat(x); }

    static Doubles load(const float* lane0, const float* lane1) { return widen(makeSingles(*lane0, *lane1)); }
    static void store(Singles s, float* lane0, float* lane1) {
        *lane0 = wasm_f32x4_extract_lane(s, 0);
        *lane1 = wasm_f32x4_extract_lane(s, 1);
    }

    static Doubles add(Doubles a, Doubles b) { return wasm_f64x2_add(a, b); }
    static Doubles sub(Doubles a, Doubles b) { return wasm_f64x2_sub(a, b); }
    static Doubles mul(Doubles a, Doubles b) { return wasm_f64x2_mul(a, b); }
    static Singles addSingles(Singles a, Singles b) { return wasm_f32x4_add(a, b); }
    static Singles mulSingles(Singles a, Singles b) { return wasm_f32x4_mul(a, b); }

    static Singles narrow(Doubles x) { return wasm_f32x4_demote_f64x2_zero(x); }
    static Doubles widen(Singles x) { return wasm_f64x2_promote_low_f32x4(x); }

    // [x0, x0] + [x1, -x1]: adding the negation is subtracting, to the bit.
    static Doubles sumAndDifference(Doubles x) {
        const Doubles lane0Twice = wasm_i64x2_shuffle(x, x, 0, 0);
        const Doubles lane1AndItsNegation = wasm_v128_xor(wasm_i64x2_shuffle(x, x, 1, 1), wasm_f64x2_make(0.0, -0.0));
        return wasm_f64x2_add(lane0Twice, lane1AndItsNegation);
    }
    static Doubles zeroLane0(Doubles x) { return wasm_v128_and(x, wasm_i64x2_make(0, -1)); }

    static double lane0(Doubles x) { return wasm_f64x2_extract_lane(x, 0); }
    static double lane1(Doubles x) { return wasm_f64x2_extract_lane(x, 1); }
};
