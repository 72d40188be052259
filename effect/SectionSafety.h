// The two guards every filter section shares: a design is taken only when it is
// finite and stable, and a recursive state that has run away is cleared.
#pragma once

#include <cmath>
#include <initializer_list>

// The largest gain a first-order design may have at DC or at Nyquist (its extremes):
// 60 dB. Every design of the parameters' ranges stays within +-6 dB; a design past
// this one, stable or not, would turn bounded input into overflow.
inline constexpr double kMaxSectionGain = 1000.0;

// Past any state that bounded audio produces and low enough that nothing overflows
// after it. Inputs up to 1e6 (120 dB over full scale) through the most extreme
// stable high-pass (a DC gain near 1e15 for its state) reach about 1e21. A state of
// 1e22 that such a high-pass amplifies in its transient (by about 1e7) and the
// largest section gain then shape still stays far below the single-precision
// limit of 3.4e38. A state past it came from non-finite or absurd input and is
// cleared rather than left to overflow.
inline constexpr float kStateLimit = 1e22f;

inline bool allFinite(std::initializer_list<float> values) {
    for (const float v : values) {
        if (!std::isfinite(v)) {
            return false;
        }
    }
    return true;
}

// A first-order section's gain at DC and at Nyquist, where its magnitude peaks.
inline bool hasModestGain(double gainAtDc, double gainAtNyquist) {
    return std::fabs(gainAtDc) <= kMaxSectionGain && std::fabs(gainAtNyquist) <= kMaxSectionGain;
}

inline bool isSaneState(float state) { return std::fabs(state) <= kStateLimit; }  // false for NaN too
