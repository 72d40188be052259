// What a host can throw at the effect: parameter values that no stable design
// exists for, and non-finite or absurd samples from upstream. None may leave the
// output growing without bound or stuck at NaN.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <complex>
#include <limits>
#include <utility>
#include <vector>

#include "BrevanderProbe.h"
#include "SeededNoise.h"

namespace {
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInfinity = std::numeric_limits<float>::infinity();

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
    {"infinite spacing (a corner of exactly 0 Hz)", kMicSpacing, kInfinity},
    {"spacing -infinity (a corner of exactly -0 Hz)", kMicSpacing, -kInfinity},
    {"width one step below 0 % (a negative corner that rounds to the flat design)", kLfWidth, -0x1p-149f},
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
    const StereoBlock input = noiseBlock(4096, 11u);
    for (const WildValue& wild : kWildValues) {
        BrevanderProbe effect;
        // A good non-default value first, so "last good" is not just the defaults.
        effect.setParameter(wild.index, 0.3f);
        const std::vector<float> good = fedCoefficients(effect, wild.index);
        effect.setParameter(wild.index, wild.normalised);

        // Every section the value feeds refused its design: each keeps its coefficients.
        EXPECT_EQ(fedCoefficients(effect, wild.index), good) << wild.what;
        const StereoBlock out = processed(effect, input);
        EXPECT_TRUE(out.allFinite()) << wild.what;
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
    EXPECT_TRUE(processed(effect, noiseBlock(4096, 2u)).allFinite());
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
    EXPECT_LT(std::fabs(effect.spacingFilter.coefficients.a1), 1.0f) << "the pole inside the unit circle";

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
    const StereoBlock input = noiseBlock(2048, 5u);
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
        StereoBlock loud = noiseBlock(4096, 21u);
        for (std::size_t i = 0; i < loud.frames(); ++i) {
            loud.left[i] *= 1e6f;
            loud.right[i] *= 1e6f;
        }
        EXPECT_TRUE(processed(effect, loud).allFinite()) << rateHz;
        // Whatever shelf it runs has its pole inside and at most 60 dB of gain at
        // either end of the band, where a first-order section has its extremes.
        EXPECT_LT(std::fabs(effect.bassShelf.coefficients.c1), 1.0f) << rateHz;
        EXPECT_LE(std::abs(effect.bassShelf.response(0.0, rateHz)), 1000.0) << rateHz;
        EXPECT_LE(std::abs(effect.bassShelf.response(rateHz / 2.0, rateHz)), 1000.0) << rateHz;
    }
}

namespace {
// The five sections' coefficients, in member order, as raw values for exact comparison.
using AllCoefficients = std::array<std::vector<float>, 5>;
constexpr const char* kSectionNames[5] = {"vlfHighPass", "vlfAllPass", "spacingFilter", "bassShelf", "bassAllPass"};

AllCoefficients allCoefficients(const BrevanderProbe& e) {
    const auto& h = e.vlfHighPass.coefficients;
    const auto& s = e.spacingFilter.coefficients;
    const auto& b = e.bassShelf.coefficients;
    return {{{h.a1, h.a2, h.b0, h.b1, h.b2},
             {e.vlfAllPass.coefficients.coeff},
             {s.a1, s.b0, s.b1},
             {b.c0, b.c1, b.outGain},
             {e.bassAllPass.coefficients.coeff}}};
}

// Whether a section's poles lie strictly inside the unit circle, found from its
// denominator directly rather than through the check that decided to take the
// design. The spacing filter's pole may sit on z = 1 where its zero cancels it.
bool polesStrictlyInside(const BrevanderProbe& e, std::size_t section) {
    switch (section) {
        case 0: {
            // z^2 + a1 z + a2
            const double a1 = e.vlfHighPass.coefficients.a1, a2 = e.vlfHighPass.coefficients.a2;
            const std::complex<double> root = std::sqrt(std::complex<double>(a1 * a1 - 4.0 * a2));
            return std::abs((-a1 + root) / 2.0) < 1.0 && std::abs((-a1 - root) / 2.0) < 1.0;
        }
        case 1:
            return std::fabs(e.vlfAllPass.coefficients.coeff) < 1.0f;
        case 2: {
            const auto& c = e.spacingFilter.coefficients;
            return std::fabs(c.a1) < 1.0f || (c.a1 == -1.0f && c.b1 == -c.b0);
        }
        case 3:
            return std::fabs(e.bassShelf.coefficients.c1) < 1.0f;
        default:
            return std::fabs(e.bassAllPass.coefficients.coeff) < 1.0f;
    }
}

// One corner at the edge of stability. `sections` says, for each section in member
// order, whether it takes its new design ('t'), keeps the one it had ('k'), or is
// not at an edge in this row ('-').
struct EdgeCorner {
    const char* what;
    VstInt32 index;    // the parameter set, or -1 when the rate is announced instead
    float normalised;  // for the parameter
    float rateHz;      // announced instead of a parameter
    const char* sections;
};

// The normalised values give their corners exactly through minimum + span * x
// rounded once (each row checks the stored value). 0 Hz itself is reached by no
// value of VLF Cut-Off or Mid Bass Cut Fc: the nearest corners on either side of it
// round to the 0 Hz design, a pole at exactly z = 1.
const EdgeCorner kEdgeCorners[] = {
    {"VLF corner -1.49e-7 Hz, the nearest below 0 Hz", kVlfCutOff, -0.1f, 0.0f, "kkkkk"},
    {"VLF corner 5.96e-7 Hz, the nearest above 0 Hz", kVlfCutOff, -0x1.999998p-4f, 0.0f, "kkkkk"},
    // No second-order high-pass exists at Nyquist; the all-pass takes -cos(pi)/2.
    {"VLF corner at Nyquist, 22050 Hz", kVlfCutOff, 0x1.b8ccccp+7f, 0.0f, "ktkkk"},
    {"VLF corner one step inside Nyquist", kVlfCutOff, 0x1.b8cccap+7f, 0.0f, "ktkkk"},
    {"shelf corner -7.45e-8 Hz, the nearest below 0 Hz", kMidBassCutFc, -0x1.af286cp-5f, 0.0f, "kkkkk"},
    {"shelf corner 6.33e-7 Hz, the nearest above 0 Hz", kMidBassCutFc, -0x1.af286ap-5f, 0.0f, "kkkkk"},
    {"shelf corner at Nyquist", kMidBassCutFc, 116.0f, 0.0f, "kkkkt"},
    // Its pole at -0.99999964 is inside the unit circle and its gain stays modest.
    {"shelf corner one step inside Nyquist", kMidBassCutFc, 0x1.cffffep+6f, 0.0f, "kkktt"},
    // A width of 0 % puts the difference's corner at 0 Hz: the pole at z = 1 is
    // cancelled by the zero there, and the difference passes flat.
    {"width 0 %", kLfWidth, 0.0f, 0.0f, "kktkk"},
    {"width -0 %", kLfWidth, -0.0f, 0.0f, "kktkk"},
    {"width one step above 0 %", kLfWidth, 0x1p-149f, 0.0f, "kktkk"},
    {"width one step below 0 %", kLfWidth, -0x1p-149f, 0.0f, "kkkkk"},
    // Corners towards Nyquist: the pole comes to z = -1 where nothing cancels it.
    {"width whose pole is one step inside z = -1", kLfWidth, 0x1.7b1f46p+34f, 0.0f, "kktkk"},
    {"width whose pole rounds onto z = -1", kLfWidth, 0x1.7b1f48p+34f, 0.0f, "kkkkk"},
    {"spacing 2.2e-8 cm, the nearest above 0 cm", kMicSpacing, -0x1.47ae14p-6f, 0.0f, "kktkk"},
    {"spacing -7.1e-8 cm, the nearest below 0 cm", kMicSpacing, -0x1.47ae16p-6f, 0.0f, "kkkkk"},
    // The announced rate moves every corner at once; these put the default corners
    // (20 Hz and 80 Hz) at Nyquist or one step inside it, or every corner at 0 rad.
    {"rate 40 Hz: VLF corner at Nyquist", -1, 0.0f, 40.0f, "kt---"},
    {"rate just above 40 Hz: VLF corner one step inside Nyquist", -1, 0.0f, 0x1.400002p+5f, "kt---"},
    {"rate 160 Hz: shelf corner at Nyquist", -1, 0.0f, 160.0f, "---kt"},
    {"rate just above 160 Hz: shelf corner one step inside Nyquist", -1, 0.0f, 0x1.400002p+7f, "---tt"},
    {"the largest rate: every corner at 0 rad", -1, 0.0f, std::numeric_limits<float>::max(), "kkkkk"},
};

float storedValue(const BrevanderProbe& e, VstInt32 index) {
    switch (index) {
        case kVlfCutOff:
            return e.vlfCutOff;
        case kMidBassCutFc:
            return e.midBassCutFc;
        case kLfWidth:
            return e.lfWidth;
        default:
            return e.micSpacing;
    }
}
}  // namespace

TEST(UnstableDesign, CornersAtTheEdgeOfStabilityAreTakenOnlyWhenStrictlyStable) {
    // The stored values the rows rely on, reached exactly.
    const std::pair<VstInt32, float> exactly[] = {
        {kVlfCutOff, 22050.0f},    {kVlfCutOff, std::nextafter(22050.0f, 0.0f)},
        {kMidBassCutFc, 22050.0f}, {kMidBassCutFc, std::nextafter(22050.0f, 0.0f)},
        {kLfWidth, 0.0f},          {kLfWidth, -0x1p-149f * 200.0f}};
    for (const EdgeCorner& row : kEdgeCorners) {
        BrevanderProbe effect;
        // A good non-default design first, so that a kept design is not just the default one.
        if (row.index >= 0) {
            effect.setParameter(row.index, 0.3f);
        }
        const AllCoefficients before = allCoefficients(effect);
        if (row.index >= 0) {
            effect.setParameter(row.index, row.normalised);
        } else {
            effect.setSampleRate(row.rateHz);
        }
        const AllCoefficients after = allCoefficients(effect);
        for (std::size_t section = 0; section < 5; ++section) {
            const bool taken = row.sections[section] == 't';
            if (row.sections[section] != '-') {
                EXPECT_EQ(after[section] != before[section], taken)
                    << row.what << ": " << kSectionNames[section] << (taken ? " kept its design" : " took its design");
            }
            EXPECT_TRUE(polesStrictlyInside(effect, section)) << row.what << ": " << kSectionNames[section];
        }
        EXPECT_TRUE(processed(effect, noiseBlock(2048, 17u)).allFinite()) << row.what;
    }
    for (const auto& [index, value] : exactly) {
        bool reached = false;
        for (const EdgeCorner& row : kEdgeCorners) {
            if (row.index == index) {
                BrevanderProbe effect;
                effect.setParameter(row.index, row.normalised);
                reached = reached || storedValue(effect, index) == value;
            }
        }
        EXPECT_TRUE(reached) << "no row reaches " << value << " for parameter " << index;
    }
}

TEST(UnstableDesign, DesignsAtTheEdgeOfStabilityKeepTheirExactCoefficients) {
    BrevanderProbe effect;
    effect.setParameter(kVlfCutOff, 0x1.b8ccccp+7f);  // 22050 Hz, Nyquist at 44100 Hz
    EXPECT_EQ(effect.vlfAllPass.coefficients.coeff, 0.5f) << "-cos(pi) / 2";
    effect.setParameter(kLfWidth, 0x1p-149f);
    EXPECT_EQ(effect.spacingFilter.coefficients.a1, -1.0f) << "a width of 2.8e-43 % is 0 % once rounded";
    EXPECT_EQ(effect.spacingFilter.coefficients.b0, 1.0f);
    EXPECT_EQ(effect.spacingFilter.coefficients.b1, -1.0f);
    effect.setParameter(kLfWidth, 0x1.7b1f46p+34f);
    EXPECT_EQ(effect.spacingFilter.coefficients.a1, std::nextafter(1.0f, 0.0f));

    // The same corners straight at the sections: 0 Hz, one step either side of it,
    // and Nyquist from both sides.
    const float rate = 44100.0f;
    for (const float corner : {0.0f, -0.0f, 0x1p-149f, -0x1p-149f}) {
        AllPass1 allPass;
        Biquad highPass;
        BassShelf shelf;
        EXPECT_FALSE(allPass.design(rate, corner)) << corner << " Hz: the pole would sit at z = 1";
        EXPECT_FALSE(highPass.designHighPass(rate, corner)) << corner << " Hz";
        EXPECT_FALSE(shelf.design(rate, corner, 0.83f, 1.0f)) << corner << " Hz";
    }
    for (const float corner : {rate / 2.0f, std::nextafter(rate / 2.0f, 0.0f)}) {
        AllPass1 allPass;
        Biquad highPass;
        ASSERT_TRUE(allPass.design(rate, corner)) << corner << " Hz";
        EXPECT_EQ(allPass.coefficients.coeff, 0.5f) << corner << " Hz";
        EXPECT_FALSE(highPass.designHighPass(rate, corner)) << corner << " Hz";
    }
    SpacingFilter spacing;
    EXPECT_TRUE(spacing.design(rate, 18.0f, 0.0f)) << "0 %: the pole at z = 1 is cancelled";
    EXPECT_FALSE(spacing.design(rate, 18.0f, -0x1p-149f)) << "a corner below 0 Hz";
    EXPECT_FALSE(spacing.design(rate, -18.0f, 0x1p-149f)) << "a corner below 0 Hz";
    EXPECT_FALSE(spacing.design(rate, kInfinity, 100.0f)) << "a corner of 0 Hz from no real spacing";
    BassShelf shelf;
    EXPECT_FALSE(shelf.design(rate, rate / 2.0f, 0.83f, 1.0f)) << "no shelf with a pole at z = -1";
    for (const float gain : {0.5f, 0.83f, 1.0f, 2.0f}) {
        ASSERT_TRUE(shelf.design(rate, std::nextafter(rate / 2.0f, 0.0f), gain, 1.0f)) << gain;
        EXPECT_LT(std::fabs(shelf.coefficients.c1), 1.0f) << gain;
    }
}

TEST(NonFiniteInput, ABadSampleCostsAtMostTheRestOfItsBlock) {
    for (const float bad : {kNaN, kInfinity, -kInfinity, std::numeric_limits<float>::max()}) {
        BrevanderProbe effect;
        StereoBlock first = noiseBlock(512, 3u);
        first.left[100] = bad;
        first.right[101] = bad;
        processed(effect, first);

        // The next block starts from cleared states: exactly what a fresh instance gives.
        const StereoBlock second = noiseBlock(512, 4u);
        BrevanderProbe fresh;
        const StereoBlock out = processed(effect, second);
        EXPECT_TRUE(out.allFinite()) << bad;
        EXPECT_EQ(out, processed(fresh, second)) << bad;
    }
}

TEST(NonFiniteInput, OnlyTheSectionsItReachedAreCleared) {
    // Both switches off: the NaN reaches only the spacing filter; the frozen
    // sections keep their states for when they are switched back on.
    BrevanderProbe effect;
    processed(effect, noiseBlock(1024, 8u));
    const float heldState = effect.vlfHighPass.state.state1;
    ASSERT_NE(heldState, 0.0f);
    effect.setParameter(kEnableDifVlf, 0.0f);
    effect.setParameter(kEnableSumShelf, 0.0f);
    StereoBlock bad = noiseBlock(64, 9u);
    bad.left[10] = kNaN;
    processed(effect, bad);
    EXPECT_EQ(effect.spacingFilter.state.state, 0.0f);
    EXPECT_EQ(effect.vlfHighPass.state.state1, heldState);
}

TEST(NonFiniteInput, LoudButFiniteInputKeepsItsExactResult) {
    // +120 dBFS is far past any real signal and still well inside the state limit:
    // the output is the input's, scaled, with nothing cleared along the way.
    const StereoBlock input = noiseBlock(4096, 12u);
    StereoBlock loud = input;
    for (std::size_t i = 0; i < loud.frames(); ++i) {
        loud.left[i] *= 1048576.0f;
        loud.right[i] *= 1048576.0f;
    }
    BrevanderProbe quietEffect;
    BrevanderProbe loudEffect;
    const StereoBlock quietOut = processed(quietEffect, input);
    const StereoBlock loudOut = processed(loudEffect, loud);
    ASSERT_TRUE(loudOut.allFinite());
    for (std::size_t i = 0; i < input.frames(); ++i) {
        // Scaling by a power of two commutes with every rounding, away from subnormals.
        ASSERT_EQ(loudOut.left[i], quietOut.left[i] * 1048576.0f) << i;
    }
}
