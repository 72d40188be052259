// SpacingFilter: the difference path's first-order high-pass, whose corner follows
// from the microphone spacing and the width, H(z) = (b0 + b1 z^-1) / (1 + a1 z^-1).
#pragma once

#include <complex>

#include "SinglePrecision.h"

struct SpacingFilter {
    struct Coefficients {
        float a1 = 0.0f;
        float b0 = 1.0f;
        float b1 = 0.0f;
    };
    struct State {
        float state = 0.0f;  // w of the previous sample
    };

    Coefficients coefficients;
    State state;

    // The bilinear transform, without pre-warping, of s / (s + B), where the corner
    //   B = (widthPercent / 100 * 342 m/s) / (spacingCm / 100 * pi)   rad/s.
    // spacingCm: 1 to 51; widthPercent: 0 to 200 (0 gives a flat response).
    // Touches the coefficients only.
    void design(float sampleRateHz, float spacingCm, float widthPercent);

    void clear() { state = {}; }

    float processSample(float x) {
        const Coefficients& c = coefficients;
        const double s = state.state;
        const float w = single(x - c.a1 * s);
        const float y = single(w * static_cast<double>(c.b0) + s * c.b1);
        state.state = single(w + kStateGuard);
        return y;
    }

    std::complex<double> response(double frequencyHz, double sampleRateHz) const {
        const std::complex<double> z1 = unitDelay(frequencyHz, sampleRateHz);
        const double a1 = coefficients.a1, b0 = coefficients.b0, b1 = coefficients.b1;
        return (b0 + b1 * z1) / (1.0 + a1 * z1);
    }
};
