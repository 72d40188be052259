// DoubleLanes (DoubleLanes.h) in SSE2 registers: the doubles in an __m128d, the
// singles in the low two lanes of an __m128 (its upper two are never read).
#pragma once

#include <emmintrin.h>

struct SseLanes {
    using Doubles = __m128d;
    using Singles = __m128;

    static Doubles make(double lane0, double lane1) { return _mm_set_pd(lane1, lane0); }
    static Doubles splat(double x) { return _mm_set1_pd(x); }
    static Singles makeSingles(float lane0, float lane1) { return _mm_set_ps(0.0f, 0.0f, lane1, lane0); }
    static Singles splatSingles(float x) { return _mm_set1_ps(x); }

    static Doubles load(const float* lane0, const float* lane1) {
        return _mm_cvtps_pd(_mm_unpacklo_ps(_mm_load_ss(lane0), _mm_load_ss(lane1)));
    }
    static void store(Singles s, float* lane0, float* lane1) {
        _mm_store_ss(lane0, s);
        _mm_store_ss(lane1, _mm_shuffle_ps(s, s, 1));
    }

    static Doubles add(Doubles a, Doubles b) { return _mm_add_pd(a, b); }
    static Doubles sub(Doubles a, Doubles b) { return _mm_sub_pd(a, b); }
    static Doubles mul(Doubles a, Doubles b) { return _mm_mul_pd(a, b); }
    static Singles addSingles(Singles a, Singles b) { return _mm_add_ps(a, b); }
    static Singles mulSingles(Singles a, Singles b) { return _mm_mul_ps(a, b); }

    static Singles narrow(Doubles x) { return _mm_cvtpd_ps(x); }
    static Doubles widen(Singles x) { return _mm_cvtps_pd(x); }

    // [x0, x0] + [x1, -x1]: adding the negation is subtracting, to the bit.
    static Doubles sumAndDifference(Doubles x) {
        const Doubles lane0Twice = _mm_unpacklo_pd(x, x);
        const Doubles lane1AndItsNegation = _mm_xor_pd(_mm_unpackhi_pd(x, x), _mm_set_pd(-0.0, 0.0));
        return _mm_add_pd(lane0Twice, lane1AndItsNegation);
    }
    static Doubles zeroLane0(Doubles x) { return _mm_and_pd(x, _mm_castsi128_pd(_mm_set_epi32(-1, -1, 0, 0))); }

    static double lane0(Doubles x) { return _mm_cvtsd_f64(x); }
    static double lane1(Doubles x) { return _mm_cvtsd_f64(_mm_unpackhi_pd(x, x)); }
};
