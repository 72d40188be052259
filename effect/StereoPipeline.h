// The body of processStereoBlock (StereoKernel.h), for any way of reading the two
// switches. The plug-in's kernel reads them as they stand (RelaxedReading); a test
// may answer from a script instead and so move a switch at a frame of its choosing.
//
// Everything here has internal linkage on purpose: each file that includes it gets
// its own copy. The compiler then treats the plug-in's instance as it treats an
// ordinary function of StereoKernel.cpp, and emits the same instructions a kernel
// written for the relaxed reading alone gets; as a shared template instance it
// allocated registers differently.
#pragma once

#include <emmintrin.h>

#include <bit>
#include <concepts>
#include <cstdint>

#include "ParameterTable.h"
#include "RelaxedFloat.h"
#include "StereoKernel.h"

// How the kernel reads a switch: Reading::read(value, frame) answers the raw value of
// the switch `value` as frame `frame` comes in. The kernel asks one or more times for
// every frame, never about a frame older than one it has asked about before, and the
// frame goes through every stage with the last answer it got.
template <class Reading>
concept SwitchReading = requires(const float& value, std::int32_t frame) {
    { Reading::read(value, frame) } -> std::same_as<float>;
};

// The plug-in's reading: the value as it stands now, since a host's other thread may
// move a switch while a block runs.
struct RelaxedReading {
    static float read(const float& value, std::int32_t) { return loadRelaxed(value); }
};

namespace {

// The single-precision value nearest 1/sqrt(2), used as it is: 2k^2 is 0.99999997, not 1.
constexpr float kSumDifferenceScale = 0.70710677f;

// Lane 0 holds the sum, lane 1 the difference.
inline __m128d lanes(double sumLane, double difLane) { return _mm_set_pd(difLane, sumLane); }

// Rounds both lanes to single precision and back: what storing to a float does.
inline __m128d roundToSingle(__m128d x, __m128& asSingle) {
    asSingle = _mm_cvtpd_ps(x);
    return _mm_cvtps_pd(asSingle);
}

inline __m128d roundToSingle(__m128d x) { return _mm_cvtps_pd(_mm_cvtpd_ps(x)); }

// Frames between one stage and the next in the pipeline below: enough that a
// stage's input is ready by the time the stage's turn comes.
constexpr std::int32_t kSkew = 3;

// The three stages as one pipeline: in each step stage 3 finishes an older frame,
// stage 2 works on a younger one and stage 1 takes in the newest. The three are then
// independent of one another within a step, so the processor overlaps them
// instead of waiting for one frame to go through all three; each stage still
// sees its frames in order, with the same operations. Both switches are read when
// a frame comes in and go with it through the pipeline.
class Pipeline {
public:
    explicit Pipeline(const StereoSections& s)
        : a1_(lanes(s.vlfHighPass.coefficients.a1, s.vlfAllPass.coefficients.coeff)),
          a2_(lanes(s.vlfHighPass.coefficients.a2, 0.0)),
          b0_(lanes(s.vlfHighPass.coefficients.b0, s.vlfAllPass.coefficients.coeff)),
          b1_(lanes(s.vlfHighPass.coefficients.b1, 1.0)),
          b2_(lanes(s.vlfHighPass.coefficients.b2, 0.0)),
          spA1_(lanes(0.0, s.spacingFilter.coefficients.a1)),
          spB0_(lanes(1.0, s.spacingFilter.coefficients.b0)),
          spNegB1_(lanes(0.0, -static_cast<double>(s.spacingFilter.coefficients.b1))),
          p_(lanes(s.bassShelf.coefficients.c1, s.bassAllPass.coefficients.coeff)),
          q_(lanes(s.bassShelf.coefficients.c0, s.bassAllPass.coefficients.coeff)),
          gSingle_(_mm_set_ps(0.0f, 0.0f, 1.0f, s.bassShelf.coefficients.outGain)),
          vlfS1_(lanes(s.vlfHighPass.state.state1, s.vlfAllPass.state.state)),
          vlfS2_(lanes(s.vlfHighPass.state.state2, 0.0)),
          spS_(lanes(0.0, s.spacingFilter.state.state)),
          shS_(lanes(s.bassShelf.state.state, s.bassAllPass.state.state)) {}

    void storeStates(StereoSections& s) const {
        s.vlfHighPass.state.state1 = static_cast<float>(_mm_cvtsd_f64(vlfS1_));
        s.vlfHighPass.state.state2 = static_cast<float>(_mm_cvtsd_f64(vlfS2_));
        s.vlfAllPass.state.state = static_cast<float>(_mm_cvtsd_f64(_mm_unpackhi_pd(vlfS1_, vlfS1_)));
        s.spacingFilter.state.state = static_cast<float>(_mm_cvtsd_f64(_mm_unpackhi_pd(spS_, spS_)));
        s.bassShelf.state.state = static_cast<float>(_mm_cvtsd_f64(shS_));
        s.bassAllPass.state.state = static_cast<float>(_mm_cvtsd_f64(_mm_unpackhi_pd(shS_, shS_)));
    }

    // [L, R] -> [L + R, L - R] * k, rounded.
    __m128d input(const float* left, const float* right) const {
        const __m128d in = _mm_cvtps_pd(_mm_unpacklo_ps(_mm_load_ss(left), _mm_load_ss(right)));
        const __m128d l = _mm_unpacklo_pd(in, in);
        const __m128d r = _mm_xor_pd(_mm_unpackhi_pd(in, in), negateDif_);
        return roundToSingle(_mm_mul_pd(_mm_add_pd(l, r), k_));
    }

    // [sum, dif] -> [sum + dif, sum - dif] * k, rounded and stored.
    void output(__m128d x, float* left, float* right) const {
        const __m128d sum = _mm_unpacklo_pd(x, x);
        const __m128d dif = _mm_xor_pd(_mm_unpackhi_pd(x, x), negateDif_);
        const __m128 out = _mm_cvtpd_ps(_mm_mul_pd(_mm_add_pd(sum, dif), k_));
        _mm_store_ss(left, out);
        _mm_store_ss(right, _mm_shuffle_ps(out, out, 1));
    }

    // vlfHighPass beside vlfAllPass: w = (x - a1 s1) - a2 s2;  y = (b0 w + b1 s1) + b2 s2.
    __m128d vlf(__m128d x) {
        __m128 wSingle;
        const __m128d w =
            roundToSingle(_mm_sub_pd(_mm_sub_pd(x, _mm_mul_pd(a1_, vlfS1_)), _mm_mul_pd(a2_, vlfS2_)), wSingle);
        const __m128d y =
            roundToSingle(_mm_add_pd(_mm_add_pd(_mm_mul_pd(b0_, w), _mm_mul_pd(b1_, vlfS1_)), _mm_mul_pd(b2_, vlfS2_)));
        vlfS2_ = vlfS1_;
        vlfS1_ = _mm_cvtps_pd(_mm_add_ps(wSingle, guard_));
        return y;
    }

    // spacingFilter on the difference: w = x - a1 s;  y = w b0 - s (-b1), the same sum
    // as w b0 + s b1. The sum lane's state stays +0, so it passes x - 0 and w - 0,
    // which keep even the sign of a zero.
    __m128d spacing(__m128d x) {
        __m128 wSingle;
        const __m128d w = roundToSingle(_mm_sub_pd(x, _mm_mul_pd(spA1_, spS_)), wSingle);
        const __m128d y = roundToSingle(_mm_sub_pd(_mm_mul_pd(w, spB0_), _mm_mul_pd(spS_, spNegB1_)));
        spS_ = _mm_and_pd(_mm_cvtps_pd(_mm_add_ps(wSingle, guard_)), difLaneOnly_);
        return y;
    }

    // bassShelf beside bassAllPass: w = x - p s;  t = q w + s;  y = g t (g = 1 for the all-pass).
    __m128d shelf(__m128d x) {
        __m128 wSingle;
        const __m128d w = roundToSingle(_mm_sub_pd(x, _mm_mul_pd(p_, shS_)), wSingle);
        // g t is a product of two singles, exact in double, so rounding it once is what
        // a single-precision multiply gives.
        const __m128 t = _mm_cvtpd_ps(_mm_add_pd(_mm_mul_pd(q_, w), shS_));
        shS_ = _mm_cvtps_pd(_mm_add_ps(wSingle, guard_));
        return _mm_cvtps_pd(_mm_mul_ps(gSingle_, t));
    }

private:
    const __m128d a1_, a2_, b0_, b1_, b2_;
    const __m128d spA1_, spB0_, spNegB1_;
    const __m128d p_, q_;
    const __m128 gSingle_;
    const __m128 guard_ = _mm_set1_ps(static_cast<float>(kStateGuard));
    const __m128d k_ = _mm_set1_pd(static_cast<double>(kSumDifferenceScale));
    const __m128d negateDif_ = _mm_set_pd(-0.0, 0.0);  // flips the sign of the difference lane
    const __m128d difLaneOnly_ = _mm_castsi128_pd(_mm_set_epi32(-1, -1, 0, 0));
    // States as doubles; each holds a single-precision value.
    __m128d vlfS1_, vlfS2_, spS_, shS_;
};

// processStereoBlock, with the switches read through `Reading`.
template <SwitchReading Reading>
#if defined(__i386__)
// 32-bit callers (Windows hosts among them) may leave the stack 4-byte aligned;
// spilled SSE registers need 16.
__attribute__((force_align_arg_pointer))
#endif
void processStereoBlockWith(StereoSections& s, const float& enableDifVlf, const float& enableSumShelf,
                            const float* inLeft, const float* inRight, float* outLeft, float* outRight,
                            std::int32_t frames) {
    Pipeline pipe(s);
    // What waits between the stages: the last kSkew frames out of stage 1 and out of
    // stage 2 (newest first), each with the shelf switch it came in with.
    __m128d afterVlf[kSkew] = {};
    __m128d afterSpacing[kSkew] = {};
    bool shelfAfterVlf[kSkew] = {};
    bool shelfAfterSpacing[kSkew] = {};

    // One step of the pipeline for frame i coming in: stage 3 finishes frame
    // i - 2 kSkew, stage 2 takes frame i - kSkew, stage 1 frame i; each runs only on
    // frames that exist. A step writes its output before it reads frame i, so processing in place reads
    // every input before its frame's output is written.
    const auto step = [&](std::int32_t i, bool first, bool second, bool third) {
        if (third) {
            const __m128d x =
                shelfAfterSpacing[kSkew - 1] ? pipe.shelf(afterSpacing[kSkew - 1]) : afterSpacing[kSkew - 1];
            pipe.output(x, outLeft + i - 2 * kSkew, outRight + i - 2 * kSkew);
        }
        for (std::int32_t n = kSkew - 1; n > 0; --n) {
            afterSpacing[n] = afterSpacing[n - 1];
            shelfAfterSpacing[n] = shelfAfterSpacing[n - 1];
        }
        if (second) {
            afterSpacing[0] = pipe.spacing(afterVlf[kSkew - 1]);
            shelfAfterSpacing[0] = shelfAfterVlf[kSkew - 1];
        }
        for (std::int32_t n = kSkew - 1; n > 0; --n) {
            afterVlf[n] = afterVlf[n - 1];
            shelfAfterVlf[n] = shelfAfterVlf[n - 1];
        }
        if (first) {
            const bool vlfOn = isSwitchOn(Reading::read(enableDifVlf, i));
            shelfAfterVlf[0] = isSwitchOn(Reading::read(enableSumShelf, i));
            const __m128d x = pipe.input(inLeft + i, inRight + i);
            afterVlf[0] = vlfOn ? pipe.vlf(x) : x;
        }
    };
    const auto stage1 = [frames](std::int32_t i) { return i < frames; };
    const auto stage2 = [frames](std::int32_t i) { return i >= kSkew && i < frames + kSkew; };
    const auto stage3 = [frames](std::int32_t i) { return i >= 2 * kSkew && i < frames + 2 * kSkew; };

    // While neither switch moves and every frame in the pipeline came in with the
    // shelf switch as it is now, the stages need no tests: a run with the switches
    // fixed at compile time. The switches are still read for every frame, and the
    // run ends at the first frame that finds one moved.
    const auto steadyRun = [&]<bool kVlfOn, bool kShelfOn>(std::int32_t& at) {
        // Any change of a switch's bits ends the run, which is cheaper to test than
        // its side of 0.5; the general step then reads it properly.
        const float vlfAtStart = Reading::read(enableDifVlf, at);
        const float shelfAtStart = Reading::read(enableSumShelf, at);
        if (isSwitchOn(vlfAtStart) != kVlfOn || isSwitchOn(shelfAtStart) != kShelfOn) {
            return;
        }
        const std::uint32_t vlfBits = std::bit_cast<std::uint32_t>(vlfAtStart);
        const std::uint32_t shelfBits = std::bit_cast<std::uint32_t>(shelfAtStart);
        for (; at < frames; ++at) {
            if ((std::bit_cast<std::uint32_t>(Reading::read(enableDifVlf, at)) ^ vlfBits) |
                (std::bit_cast<std::uint32_t>(Reading::read(enableSumShelf, at)) ^ shelfBits)) {
                return;
            }
            const __m128d done = kShelfOn ? pipe.shelf(afterSpacing[kSkew - 1]) : afterSpacing[kSkew - 1];
            pipe.output(done, outLeft + at - 2 * kSkew, outRight + at - 2 * kSkew);
            for (std::int32_t n = kSkew - 1; n > 0; --n) {
                afterSpacing[n] = afterSpacing[n - 1];
            }
            afterSpacing[0] = pipe.spacing(afterVlf[kSkew - 1]);
            for (std::int32_t n = kSkew - 1; n > 0; --n) {
                afterVlf[n] = afterVlf[n - 1];
            }
            const __m128d x = pipe.input(inLeft + at, inRight + at);
            afterVlf[0] = kVlfOn ? pipe.vlf(x) : x;
        }
    };
    const auto pipelineHolds = [&](bool shelfOn) {
        for (std::int32_t n = 0; n < kSkew; ++n) {
            if (shelfAfterVlf[n] != shelfOn || shelfAfterSpacing[n] != shelfOn) {
                return false;
            }
        }
        return true;
    };

    std::int32_t i = 0;
    for (; i < 2 * kSkew; ++i) {
        step(i, stage1(i), stage2(i), stage3(i));
    }
    while (i < frames) {
        const bool vlfOn = isSwitchOn(Reading::read(enableDifVlf, i));
        const bool shelfOn = isSwitchOn(Reading::read(enableSumShelf, i));
        if (pipelineHolds(shelfOn)) {
            if (vlfOn && shelfOn) {
                steadyRun.template operator()<true, true>(i);
            } else if (vlfOn) {
                steadyRun.template operator()<true, false>(i);
            } else if (shelfOn) {
                steadyRun.template operator()<false, true>(i);
            } else {
                steadyRun.template operator()<false, false>(i);
            }
        }
        // The frame that ended the run (or found the pipeline mixed) takes the general step.
        if (i < frames) {
            step(i, true, true, true);
            ++i;
        }
    }
    for (; i < frames + 2 * kSkew; ++i) {
        step(i, stage1(i), stage2(i), stage3(i));
    }
    pipe.storeStates(s);
}

}  // namespace
