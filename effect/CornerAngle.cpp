#include "CornerAngle.h"

#include <cmath>

#include "SinglePrecision.h"

CornerAngle cornerAngle(float sampleRateHz, float cornerHz) {
    constexpr double kTwoPi = 6.283185307179586;
    const float w0 = single(cornerHz * kTwoPi / sampleRateHz);
    return {w0, single(std::cos(static_cast<double>(w0))), single(std::sin(static_cast<double>(w0)))};
}
