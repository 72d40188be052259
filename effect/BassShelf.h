// BassShelf: a first-order low shelf on the sum,
//   H(z) = outGain (c0 + z^-1) / (1 + c1 z^-1).
#pragma once

#include <complex>

#include "RelaxedFloat.h"
#include "SectionSafety.h"
#include "SinglePrecision.h"

struct BassShelf {
    struct Coefficients {
        float c0 = 0.0f;
        float c1 = 0.0f;
        float outGain = 0.0f;

        // Finite, the pole (at -c1) strictly inside the unit circle, and a modest gain
        // at both ends of the band.
        bool isUsable() const {
            if (!allFinite({c0, c1, outGain}) || !(std::fabs(c1) < 1.0f)) {
                return false;
            }
            const double g = outGain;
            return hasModestGain(g * (c0 + 1.0) / (1.0 + c1), g * (c0 - 1.0) / (1.0 - c1));
        }
        Coefficients loadRelaxed() const { return {::loadRelaxed(c0), ::loadRelaxed(c1), ::loadRelaxed(outGain)}; }
        void storeRelaxed(const Coefficients& c) {
            ::storeRelaxed(c0, c.c0);
            ::storeRelaxed(c1, c.c1);
            ::storeRelaxed(outGain, c.outGain);
        }
    };
    struct State {
        float state = 0.0f;  // w of the previous sample

        bool isSane() const { return isSaneState(state); }
    };

    Coefficients coefficients;
    State state;

    // Gain `gain` at DC, -referenceGain at Nyquist, sqrt(gain * referenceGain) and
    // -90 degrees at the corner; with gain equal to referenceGain it is the
    // first-order all-pass of the same corner, scaled. gain: linear, 0.5 to 2.0.
    // Touches the coefficients only, and only when the design is finite and stable
    // (one from a gain of 0 or less, a corner at or past Nyquist, or non-finite values is not): answers whether it took
    // the design.
    bool design(float sampleRateHz, float cornerHz, float gain, float referenceGain);

    void clear() { state = {}; }

    float processSample(float x) {
        const Coefficients& c = coefficients;
        const double s = state.state;
        const float w = single(x - c.c1 * s);
        const float t = single(c.c0 * static_cast<double>(w) + s);
        state.state = single(w + kStateGuard);
        return single(c.outGain * static_cast<double>(t));
    }

    std::complex<double> response(double frequencyHz, double sampleRateHz) const {
        const std::complex<double> z1 = unitDelay(frequencyHz, sampleRateHz);
        const double c0 = coefficients.c0, c1 = coefficients.c1, outGain = coefficients.outGain;
        return outGain * ((c0 + z1) / (1.0 + c1 * z1));
    }
};
