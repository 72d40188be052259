// AllPass1: a first-order all-pass, H(z) = (coeff + z^-1) / (1 + coeff z^-1).
#pragma once

#include <complex>

#include "SinglePrecision.h"

struct AllPass1 {
    struct Coefficients {
        float coeff = 0.0f;
    };
    struct State {
        float state = 0.0f;  // w of the previous sample
    };

    Coefficients coefficients;
    State state;

    // coeff = (tan(w0/2) - 1) / (tan(w0/2) + 1), written as (sin w0 - 1) / cos w0:
    // unity gain, +1 at DC, -1 at Nyquist, -90 degrees at the corner. Where cos w0
    // falls below 0.001 (corners from about a quarter of the rate up) the quotient
    // is replaced by -0.5 cos w0. Touches the coefficients only.
    void design(float sampleRateHz, float cornerHz);

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
