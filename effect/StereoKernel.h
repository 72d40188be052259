// The per-sample signal path for one block, fast: the sum and the difference ride
// in the two lanes of a vector register (SSE2 on x86, Advanced SIMD on aarch64; two
// plain doubles elsewhere, see DoubleLanes.h), so each stage's conversions between
// single and double precision and its multiply-adds serve both at once. Stage by stage:
//   1. vlfHighPass on the sum beside vlfAllPass on the difference, the all-pass in
//      the second-order form (a1 = c, a2 = 0, b0 = c, b1 = 1, b2 = 0);
//   2. spacingFilter on the difference, the sum passing through untouched;
//   3. bassShelf on the sum beside bassAllPass on the difference, the all-pass's
//      output scaled by exactly 1 where the shelf's takes its output gain.
// Each lane performs the same operations in the same order as the section types,
// so the output is the same to the bit (tests hold the two together).
#pragma once

#include <cstdint>

#include "AllPass1.h"
#include "BassShelf.h"
#include "Biquad.h"
#include "SpacingFilter.h"

// Both conversions, left/right to sum/difference and back, scale by the
// single-precision value nearest 1/sqrt(2), used as it is: 2k^2 is 0.99999997, not 1.
inline constexpr float kSumDifferenceScale = 0.70710677f;

struct StereoSections {
    Biquad vlfHighPass;
    AllPass1 vlfAllPass;
    SpacingFilter spacingFilter;
    BassShelf bassShelf;
    AllPass1 bassAllPass;
};

// Processes `frames` frames (at least 1); inputs may be the outputs. The switches
// are read afresh for every frame (relaxed), as a host may move them meanwhile.
// The sections' states advance; their coefficients are only read.
void processStereoBlock(StereoSections& sections, const float& enableDifVlf, const float& enableSumShelf,
                        const float* inLeft, const float* inRight, float* outLeft, float* outRight,
                        std::int32_t frames);
