#include "SpacingFilter.h"

#include <cmath>

bool SpacingFilter::design(float sampleRateHz, float spacingCm, float widthPercent) {
    constexpr double kPi = 3.141592653589793;
    const float speedOfSound = 342.0f;  // m/s
    const float a = single(sampleRateHz * 2.0);
    const float b = single((widthPercent / 100.0 * speedOfSound) / (spacingCm / 100.0 * kPi));
    // A negative corner puts the pole outside the unit circle, and an infinite spacing
    // gives a corner of 0 that no real spacing has. Both can round to exactly the
    // coefficients of the flat design at 0 %, which the check below accepts, so they
    // are refused here, before the rounding hides them.
    if (!(b >= 0.0f) || !std::isfinite(spacingCm)) {
        return false;
    }
    const float g = single(1.0 / (static_cast<double>(b) + a));
    Coefficients c;
    c.b0 = single(static_cast<double>(a) * g);
    c.b1 = -c.b0;
    c.a1 = single(-(static_cast<double>(a) - b) * g);
    if (!c.isUsable()) {
        return false;
    }
    coefficients.storeRelaxed(c);
    return true;
}
