// Biquad: a second-order section in direct form II,
//   H(z) = (b0 + b1 z^-1 + b2 z^-2) / (1 + a1 z^-1 + a2 z^-2).
#pragma once

#include <complex>

#include "RelaxedFloat.h"
#include "SectionSafety.h"
#include "SinglePrecision.h"

struct Biquad {
    struct Coefficients {
        float a0 = 0.0f;  // the last design's normalising denominator; processing never reads it
        float a1 = 0.0f;
        float a2 = 0.0f;
        float b0 = 1.0f;
        float b1 = 0.0f;
        float b2 = 0.0f;

        // Finite, both poles strictly inside the unit circle (|a2| < 1 and
        // |a1| < 1 + a2), and a modest gain at DC and at Nyquist, where a high-pass
        // with real poles has its extremes.
        bool isUsable() const {
            if (!allFinite({a0, a1, a2, b0, b1, b2}) || !(std::fabs(a2) < 1.0f && std::fabs(a1) < 1.0f + a2)) {
                return false;
            }
            const double sumB = static_cast<double>(b0) + b2;
            const double sumA = 1.0 + static_cast<double>(a2);
            return hasModestGain((sumB + b1) / (sumA + a1), (sumB - b1) / (sumA - a1));
        }
        Coefficients loadRelaxed() const {
            return {::loadRelaxed(a0), ::loadRelaxed(a1), ::loadRelaxed(a2),
                    ::loadRelaxed(b0), ::loadRelaxed(b1), ::loadRelaxed(b2)};
        }
        void storeRelaxed(const Coefficients& c) {
            ::storeRelaxed(a0, c.a0);
            ::storeRelaxed(a1, c.a1);
            ::storeRelaxed(a2, c.a2);
            ::storeRelaxed(b0, c.b0);
            ::storeRelaxed(b1, c.b1);
            ::storeRelaxed(b2, c.b2);
        }
    };
    struct State {
        float state1 = 0.0f;  // w of the previous sample
        float state2 = 0.0f;  // w of the sample before that

        bool isSane() const { return isSaneState(state1) && isSaneState(state2); }
    };

    Coefficients coefficients;
    State state;

    // Second-order high-pass with Q = 0.5 and inverted polarity: its denominator is
    // the square of the first-order all-pass's for the same corner, so its phase is
    // that all-pass's at every frequency. Gain 0.5 at the corner, -1 at Nyquist.
    // Touches the coefficients only, and only when the design is finite and stable
    // (a corner at or past Nyquist, or a non-finite rate or corner, is not): answers
    // whether it took the design.
    bool designHighPass(float sampleRateHz, float cutoffHz);

    void clear() { state = {}; }

    float processSample(float x) {
        const Coefficients& c = coefficients;
        const double s1 = state.state1;
        const double s2 = state.state2;
        const float w = single((x - c.a1 * s1) - c.a2 * s2);
        const float y = single((c.b0 * static_cast<double>(w) + c.b1 * s1) + c.b2 * s2);
        state.state2 = state.state1;
        state.state1 = single(w + kStateGuard);
        return y;
    }

    std::complex<double> response(double frequencyHz, double sampleRateHz) const {
        const std::complex<double> z1 = unitDelay(frequencyHz, sampleRateHz);
        const double a1 = coefficients.a1, a2 = coefficients.a2;
        const double b0 = coefficients.b0, b1 = coefficients.b1, b2 = coefficients.b2;
        return (b0 + z1 * (b1 + z1 * b2)) / (1.0 + z1 * (a1 + z1 * a2));
    }
};
