// The body of processStereoBlock (StereoKernel.h), for any way of reading the two
// switches and any two-lane type (DoubleLanes.h). The plug-in's kernel reads them as
// they stand (RelaxedReading) in the processor's own lanes; a test may answer from a
// script instead and so move a switch at a frame of its choosing, or run the
// portable lanes where the plug-in would not.
//
// Everything here has internal linkage on purpose: each file that includes it gets
// its own copy. The compiler then treats the plug-in's instance as it treats an
// ordinary function of StereoKernel.cpp, and emits the same instructions a kernel
// written for the relaxed reading alone gets; as a shared template instance it
// allocated registers differently.
#pragma once

#include <concepts>
#include <cstdint>

#include "BitCast.h"
#include "DoubleLanes.h"
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

// Frames between one stage and the next in the pipeline below: enough that a
// stage's input is ready by the time the stage's turn comes.
constexpr std::int32_t kSkew = 3;

// The three stages as one pipeline: in each step stage 3 finishes an older frame,
// stage 2 works on a younger one and stage 1 takes in the newest. The three are then
// independent of one another within a step, so the processor overlaps them
// instead of waiting for one frame to go through all three; each stage still
// sees its frames in order, with the same operations. Both switches are read when
// a frame comes in and go with it through the pipeline. Lane 0 holds the sum, lane 1
// the difference.
template <DoubleLanes L>
class Pipeline {
public:
    using Doubles = typename L::Doubles;
    using Singles = typename L::Singles;

    explicit Pipeline(const StereoSections& s)
        : a1_(L::make(s.vlfHighPass.coefficients.a1, s.vlfAllPass.coefficients.coeff)),
          a2_(L::make(s.vlfHighPass.coefficients.a2, 0.0)),
          b0_(L::make(s.vlfHighPass.coefficients.b0, s.vlfAllPass.coefficients.coeff)),
          b1_(L::make(s.vlfHighPass.coefficients.b1, 1.0)),
          b2_(L::make(s.vlfHighPass.coefficients.b2, 0.0)),
          spA1_(L::make(0.0, s.spacingFilter.coefficients.a1)),
          spB0_(L::make(1.0, s.spacingFilter.coefficients.b0)),
          spNegB1_(L::make(0.0, -static_cast<double>(s.spacingFilter.coefficients.b1))),
          p_(L::make(s.bassShelf.coefficients.c1, s.bassAllPass.coefficients.coeff)),
          q_(L::make(s.bassShelf.coefficients.c0, s.bassAllPass.coefficients.coeff)),
          gSingle_(L::makeSingles(s.bassShelf.coefficients.outGain, 1.0f)),
          vlfS1_(L::make(s.vlfHighPass.state.state1, s.vlfAllPass.state.state)),
          vlfS2_(L::make(s.vlfHighPass.state.state2, 0.0)),
          spS_(L::make(0.0, s.spacingFilter.state.state)),
          shS_(L::make(s.bassShelf.state.state, s.bassAllPass.state.state)) {}

    void storeStates(StereoSections& s) const {
        s.vlfHighPass.state.state1 = static_cast<float>(L::lane0(vlfS1_));
        s.vlfHighPass.state.state2 = static_cast<float>(L::lane0(vlfS2_));
        s.vlfAllPass.state.state = static_cast<float>(L::lane1(vlfS1_));
        s.spacingFilter.state.state = static_cast<float>(L::lane1(spS_));
        s.bassShelf.state.state = static_cast<float>(L::lane0(shS_));
        s.bassAllPass.state.state = static_cast<float>(L::lane1(shS_));
    }

    // [L, R] -> [L + R, L - R] * k, rounded.
    Doubles input(const float* left, const float* right) const {
        return roundToSingle(L::mul(L::sumAndDifference(L::load(left, right)), k_));
    }

    // [sum, dif] -> [sum + dif, sum - dif] * k, rounded and stored.
    void output(Doubles x, float* left, float* right) const {
        L::store(L::narrow(L::mul(L::sumAndDifference(x), k_)), left, right);
    }

    // vlfHighPass beside vlfAllPass: w = (x - a1 s1) - a2 s2;  y = (b0 w + b1 s1) + b2 s2.
    Doubles vlf(Doubles x) {
        const Singles wSingle = L::narrow(L::sub(L::sub(x, L::mul(a1_, vlfS1_)), L::mul(a2_, vlfS2_)));
        const Doubles w = L::widen(wSingle);
        const Doubles y = roundToSingle(L::add(L::add(L::mul(b0_, w), L::mul(b1_, vlfS1_)), L::mul(b2_, vlfS2_)));
        vlfS2_ = vlfS1_;
        vlfS1_ = L::widen(L::addSingles(wSingle, guard_));
        return y;
    }

    // spacingFilter on the difference: w = x - a1 s;  y = w b0 - s (-b1), the same sum
    // as w b0 + s b1. The sum lane's state stays +0, so it passes x - 0 and w - 0,
    // which keep even the sign of a zero.
    Doubles spacing(Doubles x) {
        const Singles wSingle = L::narrow(L::sub(x, L::mul(spA1_, spS_)));
        const Doubles w = L::widen(wSingle);
        const Doubles y = roundToSingle(L::sub(L::mul(w, spB0_), L::mul(spS_, spNegB1_)));
        spS_ = L::zeroLane0(L::widen(L::addSingles(wSingle, guard_)));
        return y;
    }

    // bassShelf beside bassAllPass: w = x - p s;  t = q w + s;  y = g t (g = 1 for the all-pass).
    Doubles shelf(Doubles x) {
        const Singles wSingle = L::narrow(L::sub(x, L::mul(p_, shS_)));
        const Doubles w = L::widen(wSingle);
        // g t is a product of two singles, exact in double, so rounding it once is what
        // a single-precision multiply gives.
        const Singles t = L::narrow(L::add(L::mul(q_, w), shS_));
        shS_ = L::widen(L::addSingles(wSingle, guard_));
        return L::widen(L::mulSingles(gSingle_, t));
    }

private:
    // Rounds both lanes to single precision and back: what storing to a float does.
    static Doubles roundToSingle(Doubles x) { return L::widen(L::narrow(x)); }

    const Doubles a1_, a2_, b0_, b1_, b2_;
    const Doubles spA1_, spB0_, spNegB1_;
    const Doubles p_, q_;
    const Singles gSingle_;
    const Singles guard_ = L::splatSingles(static_cast<float>(kStateGuard));
    const Doubles k_ = L::splat(static_cast<double>(kSumDifferenceScale));
    // States as doubles; each holds a single-precision value.
    Doubles vlfS1_, vlfS2_, spS_, shS_;
};

// processStereoBlock, with the switches read through `Reading` and the lanes carried
// in `Lanes`.
template <SwitchReading Reading, DoubleLanes Lanes = NativeLanes>
#if defined(__i386__)
// 32-bit callers (Windows hosts among them) may leave the stack 4-byte aligned;
// spilled SSE registers need 16.
__attribute__((force_align_arg_pointer))
#endif
void processStereoBlockWith(StereoSections& s, const float& enableDifVlf, const float& enableSumShelf,
                            const float* inLeft, const float* inRight, float* outLeft, float* outRight,
                            std::int32_t frames) {
    using Doubles = typename Lanes::Doubles;
    Pipeline<Lanes> pipe(s);
    // What waits between the stages: the last kSkew frames out of stage 1 and out of
    // stage 2 (newest first), each with the shelf switch it came in with.
    Doubles afterVlf[kSkew] = {};
    Doubles afterSpacing[kSkew] = {};
    bool shelfAfterVlf[kSkew] = {};
    bool shelfAfterSpacing[kSkew] = {};

    // One step of the pipeline for frame i coming in: stage 3 finishes frame
    // i - 2 kSkew, stage 2 takes frame i - kSkew, stage 1 frame i; each runs only on
    // frames that exist. A step writes its output before it reads frame i, so processing in place reads
    // every input before its frame's output is written.
    const auto step = [&](std::int32_t i, bool first, bool second, bool third) {
        if (third) {
            const Doubles x =
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
            const Doubles x = pipe.input(inLeft + i, inRight + i);
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
        const std::uint32_t vlfBits = bitCast<std::uint32_t>(vlfAtStart);
        const std::uint32_t shelfBits = bitCast<std::uint32_t>(shelfAtStart);
        for (; at < frames; ++at) {
            if ((bitCast<std::uint32_t>(Reading::read(enableDifVlf, at)) ^ vlfBits) |
                (bitCast<std::uint32_t>(Reading::read(enableSumShelf, at)) ^ shelfBits)) {
                return;
            }
            const Doubles done = kShelfOn ? pipe.shelf(afterSpacing[kSkew - 1]) : afterSpacing[kSkew - 1];
            pipe.output(done, outLeft + at - 2 * kSkew, outRight + at - 2 * kSkew);
            for (std::int32_t n = kSkew - 1; n > 0; --n) {
                afterSpacing[n] = afterSpacing[n - 1];
            }
            afterSpacing[0] = pipe.spacing(afterVlf[kSkew - 1]);
            for (std::int32_t n = kSkew - 1; n > 0; --n) {
                afterVlf[n] = afterVlf[n - 1];
            }
            const Doubles x = pipe.input(inLeft + at, inRight + at);
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
