// What a host can put in the LV2 plug-in's ports: control values no stable design
// exists for, rates no design exists for, and non-finite or absurd samples. The
// binding handles each as the VST 2 file does: the same stored value, the same
// sections kept, the same output.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "Lv2TestHost.h"
#include "SeededNoise.h"
#include "effect/BrevanderProbe.h"

namespace {
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInfinity = std::numeric_limits<float>::infinity();

// A port value and a normalised value that gives the VST 2 file the same stored one,
// or (where none does: a linear gain of exactly 0) one as far from any design.
struct WildPort {
    const char* what;
    ParameterIndex index;
    float portValue;
    float normalised;
    bool sameStoredValue = true;
};

const WildPort kWildPorts[] = {
    {"spacing -49 cm", kMicSpacing, -49.0f, -1.0f},
    {"spacing -infinity cm", kMicSpacing, -kInfinity, -kInfinity},
    {"spacing infinity cm: a corner of exactly 0 Hz", kMicSpacing, kInfinity, kInfinity},
    {"spacing NaN", kMicSpacing, kNaN, kNaN},
    {"width -100 %", kLfWidth, -100.0f, -0.5f},
    {"width infinity", kLfWidth, kInfinity, kInfinity},
    {"VLF corner NaN", kVlfCutOff, kNaN, kNaN},
    {"VLF corner -90 Hz", kVlfCutOff, -90.0f, -1.0f},
    {"gain -infinity dB: a linear gain of 0", kMidBassCutGain, -kInfinity, -1.0f / 3.0f, false},
    {"gain -1000 dB: a linear gain of 0", kMidBassCutGain, -1000.0f, -1.0f / 3.0f, false},
    {"gain infinity dB", kMidBassCutGain, kInfinity, kInfinity},
    {"gain NaN dB", kMidBassCutGain, kNaN, kNaN},
    {"shelf corner NaN", kMidBassCutFc, kNaN, kNaN},
    {"shelf corner -infinity", kMidBassCutFc, -kInfinity, -kInfinity},
    {"VLF switch NaN: off", kEnableDifVlf, kNaN, kNaN},
    {"shelf switch infinity: on", kEnableSumShelf, kInfinity, kInfinity},
};

float goodValue(ParameterIndex index) {
    // In range and away from the defaults, so a kept design is not just the first one.
    const float values[kNumParams] = {0.0f, 41.0f, 62.0f, 9.5f, 0.0f, 2.5f, 150.0f};
    return values[index];
}
}  // namespace

TEST(Lv2BadControls, KeepTheLastGoodDesignAsTheVst2FileDoes) {
    const StereoBlock input = noiseBlock(4096, 11u);
    for (const WildPort& wild : kWildPorts) {
        Lv2TestHost lv2;
        lv2.control(wild.index) = goodValue(wild.index);
        lv2.run(noiseBlock(256, 12u));
        const std::vector<unsigned char> good = coefficientBytes(lv2.core());
        lv2.control(wild.index) = wild.portValue;
        const StereoBlock out = lv2.run(input);

        EXPECT_EQ(coefficientBytes(lv2.core()), good) << wild.what << ": every section keeps its last good design";
        EXPECT_TRUE(out.allFinite()) << wild.what;

        // The VST 2 file given the same values: the same stored value, the same output.
        BrevanderProbe vst;
        vst.setParameter(wild.index, toNormalised(kParameterTable[static_cast<std::size_t>(wild.index)],
                                                  storedFromPortValue(wild.index, goodValue(wild.index))));
        processed(vst, noiseBlock(256, 12u));
        vst.setParameter(wild.index, wild.normalised);
        const float lv2Stored = lv2.core().storedValueOf(wild.index);
        const float vstStored = vst.storedValueOf(wild.index);
        if (wild.sameStoredValue) {
            EXPECT_TRUE(lv2Stored == vstStored || (std::isnan(lv2Stored) && std::isnan(vstStored)))
                << wild.what << ": " << lv2Stored << " against " << vstStored;
        }
        EXPECT_TRUE(sameBits(out, processed(vst, input))) << wild.what;
    }
}

TEST(Lv2BadControls, ANaNInAPortIsAppliedOnceNotOnEveryRun) {
    Lv2TestHost lv2;
    lv2.control(kMicSpacing) = kNaN;
    lv2.run(noiseBlock(64, 13u));
    ASSERT_TRUE(std::isnan(lv2.core().storedValueOf(kMicSpacing)));
    // A value no design gives, which a redesign attempt would not overwrite: so the
    // stored value is set back to something a redesign would replace it from.
    lv2.core().applyStoredValue(kMicSpacing, 18.0f);
    CoreView::spacingFilterOf(lv2.core()).coefficients.b0 = 0.25f;
    lv2.run(noiseBlock(64, 14u));
    EXPECT_EQ(lv2.core().storedValueOf(kMicSpacing), 18.0f) << "the unchanged NaN was applied again";
    EXPECT_EQ(CoreView::spacingFilterOf(lv2.core()).coefficients.b0, 0.25f);
}

TEST(Lv2BadControls, OutOfRangeValuesWithStableDesignsStillTakeEffect) {
    // 300 %: unclamped and stable, so it is designed, as in the VST 2 file.
    Lv2TestHost wide;
    Lv2TestHost atTwoHundred;
    wide.control(kLfWidth) = 300.0f;
    atTwoHundred.control(kLfWidth) = 200.0f;
    wide.run(noiseBlock(16, 15u));
    atTwoHundred.run(noiseBlock(16, 15u));
    const float a1 = CoreView::spacingFilterOf(wide.core()).coefficients.a1;
    EXPECT_NE(a1, CoreView::spacingFilterOf(atTwoHundred.core()).coefficients.a1);
    EXPECT_LT(std::fabs(a1), 1.0f) << "the pole inside the unit circle";
}

TEST(Lv2BadRates, AnUnusableRateIsNeverDesignedFor) {
    const StereoBlock input = noiseBlock(2048, 16u);
    for (const double rateHz :
         {0.0, -44100.0, static_cast<double>(kNaN), static_cast<double>(kInfinity), 1e300, -1e300, 1e-320}) {
        Lv2TestHost lv2(rateHz);
        BrevanderProbe vst;
        vst.setSampleRate(static_cast<float>(rateHz));
        EXPECT_EQ(CoreView::sampleRateOf(lv2.core()), 44100.0f) << rateHz;
        EXPECT_TRUE(sameBits(lv2.run(input), processed(vst, input))) << rateHz;
        // A later change is designed for the rate the sections have.
        lv2.control(kVlfCutOff) = 70.0f;
        vst.setParameter(kVlfCutOff, 0.6f);
        EXPECT_TRUE(sameBits(lv2.run(input), processed(vst, input))) << rateHz;
    }
}

TEST(Lv2BadSamples, ABadSampleCostsAtMostTheRestOfItsRun) {
    for (const float bad : {kNaN, kInfinity, -kInfinity, std::numeric_limits<float>::max()}) {
        Lv2TestHost lv2;
        StereoBlock first = noiseBlock(512, 3u);
        first.left[100] = bad;
        first.right[101] = bad;
        lv2.run(first);

        // The next run starts from cleared states: exactly what a fresh instance gives.
        Lv2TestHost fresh;
        const StereoBlock second = noiseBlock(512, 4u);
        const StereoBlock out = lv2.run(second);
        EXPECT_TRUE(out.allFinite()) << bad;
        EXPECT_TRUE(sameBits(out, fresh.run(second))) << bad;
    }
}

TEST(Lv2BadSamples, LoudButFiniteInputKeepsItsExactResult) {
    // +120 dBFS: far past any real signal, well inside the state limit; scaling by a
    // power of two commutes with every rounding away from subnormals.
    const StereoBlock input = noiseBlock(4096, 12u);
    StereoBlock loud = input;
    for (std::size_t i = 0; i < loud.frames(); ++i) {
        loud.left[i] *= 1048576.0f;
        loud.right[i] *= 1048576.0f;
    }
    Lv2TestHost quiet;
    Lv2TestHost louder;
    const StereoBlock quietOut = quiet.run(input);
    const StereoBlock loudOut = louder.run(loud);
    ASSERT_TRUE(loudOut.allFinite());
    for (std::size_t i = 0; i < input.frames(); ++i) {
        ASSERT_EQ(loudOut.left[i], quietOut.left[i] * 1048576.0f) << i;
        ASSERT_EQ(loudOut.right[i], quietOut.right[i] * 1048576.0f) << i;
    }
}
