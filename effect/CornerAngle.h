// The first design step shared by the high-pass, all-pass and shelf sections:
// the corner as a normalised angle, with its cosine and sine, each in single precision.
#pragma once

struct CornerAngle {
    float w0;  // radians per sample
    float cs;  // cos w0
    float sn;  // sin w0
};

CornerAngle cornerAngle(float sampleRateHz, float cornerHz);
