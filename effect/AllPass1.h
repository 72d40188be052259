// AllPass1: a first-order all-pass, H(z) = (coeff + z^-1) / (1 + coeff z^-1).
#pragma once

#include <complex>

#include "RelaxedFloat.h"
#include "SectionSafety.h"
#include "SinglePrecision.h"

struct AllPass1 {
    struct Coefficients {
        float coeff = 0.0f;

        // The pole, at -coeff, strictly inside the unit circle.
        bool isUsable() const { return std::fabs(coeff) < 1.0f; }
        Coefficients loadRelaxed() const { return {::loadRelaxed(coeff)}; }
        void storeRelaxed(const Coefficients& c) { ::storeRelaxed(coeff, c.coeff); }
    };
    struct State {
        float state = 0.0f;  // w of the previous sample

        bool isSane() const { return isSaneState(state); }
    };

    Coefficients coefficients;
    State state;

    // coeff = (tan(w0/2) - 1) / (tan(w0/2) + 1), written as (sin w0 - 1) / cos w0:
    // unity gain, +1 at DC, -1 at Nyquist, -90 degrees at the corner. Where cos w0
    // falls below 0.001 (corners from about a quarter of the rate up) the quotient
    // is replaced by -0.5 cos w0. Touches the coefficients only, and only when
    // the design is finite and stable (one from a non-finite rate or corner is not):
    // answers whether it took the design.
    bool design(float sampleRateHz, float cornerHz);

    void clear() { state = {}; }

    float processSample(float x) {
        const double c = coefficients.coeff;
        const double s = state.state;
        const float w = single(x - c * s);
        const float y = single(c * w + s);
        state.state = single(w + kStateGuard);
        return y;
    }

    std::complex<double> response(double frequencyHz, double sampleRateHz) const {
        const std::complex<double> z1 = unitDelay(frequencyHz, sampleRateHz);
        const double c = coefficients.coeff;
        return (c + z1) / (1.0 + c * z1);
    }
};
