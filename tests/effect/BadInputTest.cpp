// What a host can throw at the effect: parameter values that no stable design
// exists for, and non-finite or absurd samples from upstream. None may leave the
// output growing without bound or stuck at NaN.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "BrevanderProbe.h"
#include "SeededNoise.h"

namespace {
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInfinity = std::numeric_limits<float>::infinity();

StereoBlock noise(std::size_t frames, std::uint32_t seed) {
    SeededNoise random(seed);
    StereoBlock block(frames);
    for (std::size_t i = 0; i < frames; ++i) {
        block.left[i] = random.bipolar();
        block.right[i] = random.bipolar();
    }
    return block;
}

bool allFinite(const StereoBlock& block) {
    for (std::size_t i = 0; i < block.frames(); ++i) {
        if (!std::isfinite(block.left[i]) || !std::isfinite(block.right[i])) {
            return false;
        }
    }
    return true;
}

struct WildValue {
    const char* what;
    VstInt32 index;
    float normalised;
};

// Each maps, without clamping, to a value no stable or finite design exists for.
const WildValue kWildValues[] = {
    {"spacing just below 0 cm", kMicSpacing, -0.0201f},
    {"spacing -49 cm", kMicSpacing, -1.0f},
    {"width -100 %", kLfWidth, -0.5f},
    {"gain 0", kMidBassCutGain, -1.0f / 3.0f},
    {"gain -1", kMidBassCutGain, -1.0f},
    {"NaN spacing", kMicSpacing, kNaN},
    {"infinite width", kLfWidth, kInfinity},
    {"NaN corner", kVlfCutOff, kNaN},
    {"infinite gain", kMidBassCutGain, -kInfinity},
    {"NaN shelf corner", kMidBassCutFc, kNaN},
};

// Coefficients of the sections a parameter feeds, as raw bits for exact comparison.
std::vector<float> fedCoefficients(const BrevanderProbe& e, VstInt32 index) {
    switch (index) {
        case kVlfCutOff: {
            const auto& h = e.vlfHighPass.coefficients;
            return {h.a1, h.a2, h.b0, h.b1, h.b2, e.vlfAllPass.coefficients.coeff};
        }
        case kLfWidth:
        case kMicSpacing: {
            const auto& c = e.spacingFilter.coefficients;
            return {c.a1, c.b0, c.b1};
        }
        default: {
            const auto& c = e.bassShelf.coefficients;
            return {c.c0, c.c1, c.outGain, e.bassAllPass.coefficients.coeff};
        }
    }
}
}  // namespace

TEST(UnstableDesign, KeepsTheLastGoodCoefficientsAndReadsBackAsSet) {
    const StereoBlock input = noise(4096, 11u);
    for (const WildValue& wild : kWildValues) {
        BrevanderProbe effect;
        // A good non-default value first, so "last good" is not just the defaults.
        effect.setParameter(wild.index, 0.3f);
        const std::vector<float> good = fedCoefficients(effect, wild.index);
        effect.setParameter(wild.index, wild.normalised);

        // Every section the value feeds refused its design: each keeps its coefficients.
        EXPECT_EQ(fedCoefficients(effect, wild.index), good) << wild.what;
        const StereoBlock out = processed(effect, input);
        EXPECT_TRUE(allFinite(out)) << wild.what;
        if (std::isfinite(wild.normalised)) {
            EXPECT_FLOAT_EQ(effect.getParameter(wild.index), wild.normalised) << wild.what;
        }
    }
}

TEST(UnstableDesign, EachSectionIsJudgedOnItsOwnDesign) {
    // A corner past Nyquist has no stable second-order high-pass, but the first-order
    // all-pass of that corner is stable (its coefficient is -cos(w0)/2 there): the
    // all-pass takes it, the high-pass keeps its last good design.
    BrevanderProbe effect;
    const Biquad::Coefficients before = effect.vlfHighPass.coefficients;
    effect.setParameter(kVlfCutOff, 300.0f);
    EXPECT_EQ(effect.vlfHighPass.coefficients.a1, before.a1);
    EXPECT_EQ(effect.vlfHighPass.coefficients.a2, before.a2);
    AllPass1 allPass;
    ASSERT_TRUE(allPass.design(44100.0f, 30010.0f));
    EXPECT_EQ(effect.vlfAllPass.coefficients.coeff, allPass.coefficients.coeff);
    EXPECT_TRUE(allFinite(processed(effect, noise(4096, 2u))));
}

TEST(UnstableDesign, ValuesOutsideTheRangeWithStableDesignsStillTakeEffect) {
    // 1.5 for the width gives 300 %: unclamped and stable, so it is designed.
    BrevanderProbe effect;
    effect.setParameter(kLfWidth, 1.5f);
    char text[16] = {};
    effect.getParameterDisplay(kLfWidth, text);
    EXPECT_STREQ(text, "300.");
    BrevanderProbe atTwoHundred;
    atTwoHundred.setParameter(kLfWidth, 1.0f);
    EXPECT_NE(effect.spacingFilter.coefficients.a1, atTwoHundred.spacingFilter.coefficients.a1);
    EXPECT_TRUE(effect.spacingFilter.coefficients.isUsable());

    // 0 % is the edge of the range: the pole sits on the unit circle, cancelled by the
    // zero at DC, and the difference passes flat.
    BrevanderProbe flat;
    flat.setParameter(kLfWidth, 0.0f);
    EXPECT_EQ(flat.spacingFilter.coefficients.a1, -1.0f);
    EXPECT_EQ(flat.spacingFilter.coefficients.b0, 1.0f);
}

TEST(UnstableDesign, AHalfWrittenRedesignIsNotRunWhenTheMixIsUnstable) {
    // A parameter thread caught between two coefficient stores: a1 of a low corner
    // with a2 of a high one has a pole outside the unit circle.
    BrevanderProbe effect;
    BrevanderProbe reference;
    const StereoBlock input = noise(2048, 5u);
    processed(effect, input);
    processed(reference, input);
    effect.vlfHighPass.coefficients.a2 = 0.2f;
    ASSERT_FALSE(effect.vlfHighPass.coefficients.isUsable());
    EXPECT_EQ(processed(effect, input), processed(reference, input));
}

TEST(UnstableDesign, SampleRatesBelowTheCornersGiveNoOverflow) {
    // A rate of 32 Hz puts every corner past Nyquist. Designs that survive are
    // stable, but some would have an enormous gain (a shelf whose zero and pole
    // nearly meet at -1); they are refused, and loud in-range input stays finite.
    for (const float rateHz : {32.0049f, 1.0f, 1e-30f, 3e38f}) {
        BrevanderProbe effect;
        effect.setParameter(kMidBassCutGain, -4.26e37f);
        effect.setSampleRate(rateHz);
        StereoBlock loud = noise(4096, 21u);
        for (std::size_t i = 0; i < loud.frames(); ++i) {
            loud.left[i] *= 1e6f;
            loud.right[i] *= 1e6f;
        }
        EXPECT_TRUE(allFinite(processed(effect, loud))) << rateHz;
        EXPECT_TRUE(effect.bassShelf.coefficients.isUsable());
    }
}

TEST(NonFiniteInput, ABadSampleCostsAtMostTheRestOfItsBlock) {
    for (const float bad : {kNaN, kInfinity, -kInfinity, std::numeric_limits<float>::max()}) {
        BrevanderProbe effect;
        StereoBlock first = noise(512, 3u);
        first.left[100] = bad;
        first.right[101] = bad;
        processed(effect, first);

        // The next block starts from cleared states: exactly what a fresh instance gives.
        const StereoBlock second = noise(512, 4u);
        BrevanderProbe fresh;
        const StereoBlock out = processed(effect, second);
        EXPECT_TRUE(allFinite(out)) << bad;
        EXPECT_EQ(out, processed(fresh, second)) << bad;
    }
}

TEST(NonFiniteInput, OnlyTheSectionsItReachedAreCleared) {
    // Both switches off: the NaN reaches only the spacing filter; the frozen
    // sections keep their states for when they are switched back on.
    BrevanderProbe effect;
    processed(effect, noise(1024, 8u));
    const float heldState = effect.vlfHighPass.state.state1;
    ASSERT_NE(heldState, 0.0f);
    effect.setParameter(kEnableDifVlf, 0.0f);
    effect.setParameter(kEnableSumShelf, 0.0f);
    StereoBlock bad = noise(64, 9u);
    bad.left[10] = kNaN;
    processed(effect, bad);
    EXPECT_EQ(effect.spacingFilter.state.state, 0.0f);
    EXPECT_EQ(effect.vlfHighPass.state.state1, heldState);
}

TEST(NonFiniteInput, LoudButFiniteInputKeepsItsExactResult) {
    // +120 dBFS is far past any real signal and still well inside the state limit:
    // the output is the input's, scaled, with nothing cleared along the way.
    const StereoBlock input = noise(4096, 12u);
    StereoBlock loud = input;
    for (std::size_t i = 0; i < loud.frames(); ++i) {
        loud.left[i] *= 1048576.0f;
        loud.right[i] *= 1048576.0f;
    }
    BrevanderProbe quietEffect;
    BrevanderProbe loudEffect;
    const StereoBlock quietOut = processed(quietEffect, input);
    const StereoBlock loudOut = processed(loudEffect, loud);
    ASSERT_TRUE(allFinite(loudOut));
    for (std::size_t i = 0; i < input.frames(); ++i) {
        // Scaling by a power of two commutes with every rounding, away from subnormals.
        ASSERT_EQ(loudOut.left[i], quietOut.left[i] * 1048576.0f) << i;
    }
}
