#include "AllPass1.h"

#include "CornerAngle.h"

bool AllPass1::design(float sampleRateHz, float cornerHz) {
    const CornerAngle angle = cornerAngle(sampleRateHz, cornerHz);
    const double cs = angle.cs;
    const double sn = angle.sn;
    const double kQuotientLimit = static_cast<double>(0.001f);
    Coefficients c;
    c.coeff = cs < kQuotientLimit ? single(cs * -0.5) : single((sn - 1.0) / cs);
    if (!c.isUsable()) {
        return false;
    }
    coefficients.storeRelaxed(c);
    return true;
}
