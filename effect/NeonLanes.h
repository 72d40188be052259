// DoubleLanes (DoubleLanes.h) in aarch64's Advanced SIMD registers: the doubles in
// a float64x2_t, the singles in a float32x2_t. Multiplies and adds stay separate
// instructions (the build turns contraction off); a fused one would round once
// where the sections round twice.
#pragma once

#include <arm_neon.h>

struct NeonLanes {
    using Doubles = float64x2_t;
    using Singles = float32x2_t;

    static Doubles make(double lane0, double lane1) { return vsetq_lane_f64(lane1, vdupq_n_f64(lane0), 1); }
    static Doubles splat(double x) { return vdupq_n_f64(x); }
    static Singles makeSingles(float lane0, float lane1) { return vset_lane_f32(lane1, vdup_n_f32(lane0), 1); }
    static Singles splatSingles(float x) { return vdup_n_f32(x); }

    static Doubles load(const float* lane0, const float* lane1) {
        return vcvt_f64_f32(vld1_lane_f32(lane1, vld1_dup_f32(lane0), 1));
    }
    static void store(Singles s, float* lane0, float* lane1) {
        vst1_lane_f32(lane0, s, 0);
        vst1_lane_f32(lane1, s, 1);
    }

    static Doubles add(Doubles a, Doubles b) { return vaddq_f64(a, b); }
    static Doubles sub(Doubles a, Doubles b) { return vsubq_f64(a, b); }
    static Doubles mul(Doubles a, Doubles b) { return vmulq_f64(a, b); }
    static Singles addSingles(Singles a, Singles b) { return vadd_f32(a, b); }
    static Singles mulSingles(Singles a, Singles b) { return vmul_f32(a, b); }

    static Singles narrow(Doubles x) { return vcvt_f32_f64(x); }
    static Doubles widen(Singles x) { return vcvt_f64_f32(x); }

    // Lane 0 of x + [x1, x0] and of x - [x1, x0], side by side.
    static Doubles sumAndDifference(Doubles x) {
        const Doubles swapped = vextq_f64(x, x, 1);
        return vzip1q_f64(vaddq_f64(x, swapped), vsubq_f64(x, swapped));
    }
    static Doubles zeroLane0(Doubles x) { return vsetq_lane_f64(0.0, x, 0); }

    static double lane0(Doubles x) { return vgetq_lane_f64(x, 0); }
    static double lane1(Doubles x) { return vgetq_lane_f64(x, 1); }
};
