// The two guards every filter section shares: a design is taken only when it is
// finite and stable, and a recursive state that has run away is cleared.
#pragma once

#include <cmath>
#include <initializer_list>

// Far beyond any state that bounded audio produces (inputs up to 1e6, the largest
// gain a stable design can have); a state past it came from non-finite or absurd
// input and is cleared rather than left to overflow.
inline constexpr float kStateLimit = 1e30f;

inline bool allFinite(std::initializer_list<float> values) {
    for (const float v : values) {
        if (!std::isfinite(v)) {
            return false;
        }
    }
    return true;
}

inline bool isSaneState(float state) { return std::fabs(state) <= kStateLimit; }  // false for NaN too
