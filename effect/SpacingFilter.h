// SpacingFilter: the difference path's first-order high-pass, whose corner follows
// from the microphone spacing and the width, H(z) = (b0 + b1 z^-1) / (1 + a1 z^-1).
#pragma once

#include <complex>

#include "RelaxedFloat.h"
#include "SectionSafety.h"
#include "SinglePrecision.h"

struct SpacingFilter {
    struct Coefficients {
        float a1 = 0.0f;
        float b0 = 1.0f;
        float b1 = 0.0f;

        // The pole, at -a1, strictly inside the unit circle; or on it at z = 1 where
        // the zero at DC cancels it (a width of 0 % leaves the difference flat).
        // Both with a modest gain at both ends of the band.
        bool isUsable() const {
            if (!allFinite({a1, b0, b1})) {
                return false;
            }
            if (a1 == -1.0f && b1 == -b0) {
                return hasModestGain(b0, b0);
            }
            return std::fabs(a1) < 1.0f && hasModestGain((b0 + static_cast<double>(b1)) / (1.0 + a1),
                                                         (b0 - static_cast<double>(b1)) / (1.0 - a1));
        }
        Coefficients loadRelaxed() const { return {::loadRelaxed(a1), ::loadRelaxed(b0), ::loadRelaxed(b1)}; }
        void storeRelaxed(const Coefficients& c) {
            ::storeRelaxed(a1, c.a1);
            ::storeRelaxed(b0, c.b0);
            ::storeRelaxed(b1, c.b1);
        }
    };
    struct State {
        float state = 0.0f;  // w of the previous sample

        bool isSane() const { return isSaneState(state); }
    };

    Coefficients coefficients;
    State state;

    // The bilinear transform, without pre-warping, of s / (s + B), where the corner
    //   B = (widthPercent / 100 * 342 m/s) / (spacingCm / 100 * pi)   rad/s.
    // spacingCm: 1 to 51; widthPercent: 0 to 200 (0 gives a flat response).
    // Touches the coefficients only, and only when the design is finite and stable
    // (one with a negative corner B, as from a width and a spacing of opposite signs,
    // or one from non-finite values is not): answers whether it took the design.
    bool design(float sampleRateHz, float spacingCm, float widthPercent);
    // B above, in double precision.
    static double cornerRadiansPerSecond(double spacingCm, double widthPercent) {
        constexpr double kPi = 3.141592653589793;
        return widthPercent / 100.0 * 342.0 / (spacingCm / 100.0 * kPi);
    }

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
