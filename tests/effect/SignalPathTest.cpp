// The effect's stereo path: sum and difference, the switches, processing in place,
// clearing on suspend, and the program name.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "BrevanderProbe.h"

namespace {
StereoBlock noise(std::size_t frames, unsigned seed) {
    std::mt19937 generator(seed);
    std::uniform_real_distribution<float> amplitude(-1.0f, 1.0f);
    StereoBlock block(frames);
    for (std::size_t i = 0; i < frames; ++i) {
        block.left[i] = amplitude(generator);
        block.right[i] = amplitude(generator);
    }
    return block;
}

StereoBlock impulseLeft(std::size_t frames) {
    StereoBlock block(frames);
    block.left[0] = 1.0f;
    return block;
}

// Correlation of a steady tone at the output with the same tone at the input:
// near +1 for unchanged polarity, near -1 for inverted.
double correlation(const std::vector<float>& a, const std::vector<float>& b, std::size_t from) {
    double ab = 0.0, aa = 0.0, bb = 0.0;
    for (std::size_t i = from; i < a.size(); ++i) {
        ab += static_cast<double>(a[i]) * b[i];
        aa += static_cast<double>(a[i]) * a[i];
        bb += static_cast<double>(b[i]) * b[i];
    }
    return ab / std::sqrt(aa * bb);
}

void setSwitches(BrevanderProbe& effect, float difVlf, float sumShelf) {
    effect.enableDifVlf = difVlf;
    effect.enableSumShelf = sumShelf;
}
}  // namespace

TEST(SignalPath, FirstFrameWithDefaultSettings) {
    BrevanderProbe effect;
    const StereoBlock out = processed(effect, impulseLeft(1));
    EXPECT_NEAR(out.left[0], 0.98247, 5e-6);
    EXPECT_NEAR(out.right[0], 0.0033357, 5e-8);
}

TEST(SignalPath, NoSectionInThePathScalesByTwiceKSquared) {
    BrevanderProbe effect;
    setSwitches(effect, 0.0f, 0.0f);
    effect.lfWidth = 0.0f;
    effect.spacingFilter.design(effect.sampleRate, effect.micSpacing, effect.lfWidth);
    const StereoBlock out = processed(effect, impulseLeft(1));
    EXPECT_EQ(out.left[0], 0.99999994f);
    EXPECT_EQ(out.right[0], 0.0f);
}

TEST(SignalPath, CommonAndDifferentialInputsStaySeparate) {
    // A centred source has no difference, so both outputs agree; an anti-phase source has
    // no sum, so the outputs are exact negatives.
    BrevanderProbe centred;
    StereoBlock common = noise(4096, 1);
    common.right = common.left;
    const StereoBlock outCommon = processed(centred, common);
    EXPECT_EQ(outCommon.left, outCommon.right);

    BrevanderProbe antiPhase;
    StereoBlock differential = noise(4096, 2);
    for (std::size_t i = 0; i < differential.frames(); ++i) {
        differential.right[i] = -differential.left[i];
    }
    const StereoBlock outDifferential = processed(antiPhase, differential);
    for (std::size_t i = 0; i < outDifferential.frames(); ++i) {
        ASSERT_EQ(outDifferential.left[i], -outDifferential.right[i]) << "frame " << i;
    }
}

TEST(SignalPath, SwitchIsOnStrictlyAboveOneHalf) {
    const StereoBlock input = noise(2048, 3);
    const auto runWith = [&](float difVlf, float sumShelf) {
        BrevanderProbe effect;
        setSwitches(effect, difVlf, sumShelf);
        return processed(effect, input);
    };
    const float justAbove = std::nextafter(0.5f, 1.0f);
    EXPECT_EQ(runWith(0.5f, 1.0f), runWith(0.0f, 1.0f));
    EXPECT_EQ(runWith(justAbove, 1.0f), runWith(1.0f, 1.0f));
    EXPECT_EQ(runWith(1.0f, 0.5f), runWith(1.0f, 0.0f));
    EXPECT_EQ(runWith(1.0f, justAbove), runWith(1.0f, 1.0f));
    EXPECT_EQ(runWith(std::nanf(""), 1.0f), runWith(0.0f, 1.0f));
    EXPECT_NE(runWith(0.0f, 1.0f), runWith(1.0f, 1.0f));
    EXPECT_NE(runWith(1.0f, 0.0f), runWith(1.0f, 1.0f));
}

TEST(SignalPath, SwitchedOutSectionsKeepTheirStateFrozen) {
    BrevanderProbe effect;
    processed(effect, noise(512, 4));
    const Biquad::State highPass = effect.vlfHighPass.state;
    const float allPass = effect.vlfAllPass.state.state;
    const float shelf = effect.bassShelf.state.state;
    const float spacing = effect.spacingFilter.state.state;
    setSwitches(effect, 0.0f, 0.0f);
    processed(effect, noise(512, 5));
    EXPECT_EQ(effect.vlfHighPass.state.state1, highPass.state1);
    EXPECT_EQ(effect.vlfHighPass.state.state2, highPass.state2);
    EXPECT_EQ(effect.vlfAllPass.state.state, allPass);
    EXPECT_EQ(effect.bassShelf.state.state, shelf);
    EXPECT_NE(effect.spacingFilter.state.state, spacing) << "the spacing filter is always in the path";
}

TEST(SignalPath, ProcessingInPlaceMatchesSeparateArrays) {
    const StereoBlock input = noise(1000, 6);
    BrevanderProbe separate;
    const StereoBlock expected = processed(separate, input);

    BrevanderProbe inPlace;
    StereoBlock buffer = input;
    float* channels[2] = {buffer.left.data(), buffer.right.data()};
    inPlace.processReplacing(channels, channels, static_cast<VstInt32>(buffer.frames()));
    EXPECT_EQ(buffer, expected);
}

TEST(SignalPath, FrameCountsOfZeroOrLessTouchNothing) {
    const StereoBlock input = noise(64, 7);
    BrevanderProbe reference;
    const StereoBlock expected = processed(reference, input);

    BrevanderProbe effect;
    for (const VstInt32 frames : {0, -1, -4096}) {
        StereoBlock in = input;
        StereoBlock out(64, 12345.0f);
        float* inputs[2] = {in.left.data(), in.right.data()};
        float* outputs[2] = {out.left.data(), out.right.data()};
        effect.processReplacing(inputs, outputs, frames);
        EXPECT_EQ(out, StereoBlock(64, 12345.0f)) << frames << " frames";
    }
    EXPECT_EQ(processed(effect, input), expected) << "the states moved";
}

TEST(SignalPath, SuspendRestoresTheFreshResponse) {
    const StereoBlock input = noise(3000, 8);
    BrevanderProbe effect;
    const StereoBlock first = processed(effect, input);
    const Biquad::Coefficients coefficients = effect.vlfHighPass.coefficients;
    effect.suspend();
    EXPECT_EQ(effect.vlfHighPass.state.state1, 0.0f);
    EXPECT_EQ(effect.vlfHighPass.state.state2, 0.0f);
    EXPECT_EQ(effect.vlfAllPass.state.state, 0.0f);
    EXPECT_EQ(effect.spacingFilter.state.state, 0.0f);
    EXPECT_EQ(effect.bassShelf.state.state, 0.0f);
    EXPECT_EQ(effect.bassAllPass.state.state, 0.0f);
    EXPECT_EQ(effect.vlfHighPass.coefficients.a1, coefficients.a1);
    EXPECT_EQ(processed(effect, input), first);
}

TEST(SignalPath, PolarityOfAHighToneFollowsTheSwitches) {
    // Each sum filter and its all-pass partner give -1 at high frequencies, so one block
    // switched in inverts the tone and two restore it.
    constexpr std::size_t kFrames = 8820;
    StereoBlock tone(kFrames);
    for (std::size_t i = 0; i < kFrames; ++i) {
        tone.left[i] =
            static_cast<float>(0.5 * std::sin(6.283185307179586 * 10000.0 * static_cast<double>(i) / 44100.0));
        tone.right[i] = 0.25f * tone.left[i];
    }
    struct Case {
        float difVlf, sumShelf;
        double expectedSign;
    };
    for (const Case c : {Case{1, 1, 1}, Case{0, 0, 1}, Case{1, 0, -1}, Case{0, 1, -1}}) {
        BrevanderProbe effect;
        setSwitches(effect, c.difVlf, c.sumShelf);
        const StereoBlock out = processed(effect, tone);
        EXPECT_NEAR(correlation(out.left, tone.left, kFrames / 2), c.expectedSign, 1e-3)
            << "switches " << c.difVlf << ", " << c.sumShelf;
        EXPECT_NEAR(correlation(out.right, tone.right, kFrames / 2), c.expectedSign, 1e-3)
            << "switches " << c.difVlf << ", " << c.sumShelf;
    }
}

TEST(SignalPath, SilenceNeverTurnsSubnormal) {
    BrevanderProbe effect;
    processed(effect, noise(256, 9));
    const StereoBlock out = processed(effect, StereoBlock(200000));
    for (std::size_t i = 0; i < out.frames(); ++i) {
        ASSERT_NE(std::fpclassify(out.left[i]), FP_SUBNORMAL) << "frame " << i;
        ASSERT_NE(std::fpclassify(out.right[i]), FP_SUBNORMAL) << "frame " << i;
    }
}

TEST(ProgramName, DefaultThenRenamedThenCut) {
    BrevanderProbe effect;
    char text[64];
    std::memset(text, 'x', sizeof text);
    effect.getProgramName(text);
    EXPECT_STREQ(text, "Default");
    EXPECT_EQ(text[8], 'x') << "wrote past the name's terminator";

    char name[] = "Room tone, take 3";
    effect.setProgramName(name);
    effect.getProgramName(text);
    EXPECT_STREQ(text, "Room tone, take 3");

    char longName[] = "A name of well over thirty-one characters";
    effect.setProgramName(longName);
    effect.getProgramName(text);
    EXPECT_STREQ(text, std::string(longName, 31).c_str());
}

// The corner the window marks is where the difference path is half its power: 96.3 Hz
// at the defaults (342 m/s over 2 pi^2 times 18 cm), 48.1 Hz at half the width, and
// none at 0 %.
TEST(SignalPath, TheDifferencesCornerIsWhereItIsThreeDecibelsDown) {
    struct Row {
        float widthPercent, spacingCm, rateHz;
        double cornerHz;
    };
    for (const Row& row : {Row{100.0f, 18.0f, 48000.0f, 96.26}, Row{50.0f, 18.0f, 44100.0f, 48.13},
                           Row{200.0f, 1.0f, 96000.0f, 3463.2}, Row{0.0f, 18.0f, 48000.0f, 0.0}}) {
        ShufflerCore core;
        core.redesignForSampleRate(row.rateHz);
        core.applyStoredValue(kLfWidth, row.widthPercent);
        core.applyStoredValue(kMicSpacing, row.spacingCm);
        const double corner = core.differenceCornerHz();
        EXPECT_NEAR(corner, row.cornerHz, 0.01 * row.cornerHz + 1e-9) << row.widthPercent << " % " << row.spacingCm;
        if (corner > 0.0) {
            const double db = 20.0 * std::log10(std::abs(core.pathResponse(corner).difference));
            EXPECT_NEAR(db, -10.0 * std::log10(2.0), 0.002) << row.widthPercent << " % " << row.spacingCm;
        }
    }
}
