#include "Biquad.h"

#include "CornerAngle.h"

bool Biquad::designHighPass(float sampleRateHz, float cutoffHz) {
    const float q = 0.5f;
    const CornerAngle angle = cornerAngle(sampleRateHz, cutoffHz);
    const double cs = angle.cs;
    const float alpha = single(angle.sn / (q * 2.0));

    // Each coefficient is rounded once as it stands and once more after the division by a0.
    Coefficients c;
    c.a0 = single(alpha + 1.0);
    c.a1 = single(cs * -2.0);
    c.a1 = single(static_cast<double>(c.a1) / c.a0);
    c.a2 = single(1.0 - alpha);
    c.a2 = single(static_cast<double>(c.a2) / c.a0);
    c.b0 = single(-(cs + 1.0) / 2.0);
    c.b0 = single(static_cast<double>(c.b0) / c.a0);
    c.b1 = single(cs + 1.0);
    c.b1 = single(static_cast<double>(c.b1) / c.a0);
    c.b2 = single(-(cs + 1.0) / 2.0);
    c.b2 = single(static_cast<double>(c.b2) / c.a0);
    if (!c.isUsable()) {
        return false;
    }
    coefficients.storeRelaxed(c);
    return true;
}
