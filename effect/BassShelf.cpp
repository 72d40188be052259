#include "BassShelf.h"

#include <cmath>

#include "CornerAngle.h"

bool BassShelf::design(float sampleRateHz, float cornerHz, float gain, float referenceGain) {
    const CornerAngle angle = cornerAngle(sampleRateHz, cornerHz);
    const double cs = angle.cs;
    const double sn = angle.sn;
    const double kQuotientLimit = static_cast<double>(0.001f);

    const float g = single(static_cast<double>(gain) / referenceGain);
    const double k = single((g - 1.0) / (g + 1.0));
    const float r = single(1.0 - k * k);
    const double m = single(single(std::sqrt(static_cast<double>(r))) * sn - 1.0);

    // A divisor near zero gives 0 instead of the quotient; the test is on the
    // rounded divisor, the quotient takes it unrounded.
    Coefficients c;
    c.c0 = std::fabs(static_cast<double>(single(cs - k))) < kQuotientLimit ? 0.0f : single((cs * k + m) / (cs - k));
    c.c1 = std::fabs(static_cast<double>(single(cs + k))) < kQuotientLimit ? 0.0f : single((m - cs * k) / (cs + k));
    c.outGain = single(gain * (c.c1 + 1.0) / (c.c0 + 1.0));
    if (!c.isUsable()) {
        return false;
    }
    coefficients.storeRelaxed(c);
    return true;
}
