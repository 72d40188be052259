// The second-order high-pass: its design, its response, its processing and its behaviour under silence.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>

#include "AllPass1.h"
#include "Biquad.h"
#include "ImpulseSpectrum.h"

namespace {

constexpr double kPi = 3.141592653589793;
constexpr float kRate = 44100.0f;

}  // namespace

TEST(Biquad, StartsAsIdentity) {
    Biquad section;
    for (const float x : {0.5f, -1.0f, 3e-5f, 2.0f, 0.25f}) {
        EXPECT_EQ(section.processSample(x), x);
    }
}

TEST(Biquad, HighPassAt20HzHasKnownCoefficients) {
    Biquad section;
    section.designHighPass(kRate, 20.0f);
    EXPECT_EQ(section.coefficients.a0, 1.00284946f);
    EXPECT_EQ(section.coefficients.a1, -1.99430919f);
    EXPECT_EQ(section.coefficients.a2, 0.994317234f);
    EXPECT_EQ(section.coefficients.b0, -0.99715662f);
    EXPECT_EQ(section.coefficients.b1, 1.99431324f);
    EXPECT_EQ(section.coefficients.b2, -0.99715662f);
}

TEST(Biquad, HighPassHasHalfGainAtCutOffAndTheAllPassPhase) {
    for (const float rate : {44100.0f, 48000.0f, 96000.0f}) {
        for (const float cutoff : {10.0f, 20.0f, 50.0f, 110.0f, 1000.0f}) {
            SCOPED_TRACE(testing::Message() << cutoff << " Hz at " << rate << " Hz");
            Biquad section;
            section.designHighPass(rate, cutoff);
            AllPass1 allPass;
            allPass.design(rate, cutoff);
            EXPECT_NEAR(std::abs(section.response(0.0, rate)), 0.0, 1e-12);
            EXPECT_NEAR(std::abs(section.response(cutoff, rate)), 0.5, 1e-4);
            EXPECT_NEAR(std::abs(section.response(rate / 2.0, rate) + 1.0), 0.0, 1e-6);
            // Rounding the coefficients moves the double pole near z = 1, which limits the match
            // for the lowest corners to about a degree.
            for (const double f : {0.25 * cutoff, 0.5 * cutoff, 1.0 * cutoff, 2.0 * cutoff, 16.0 * cutoff}) {
                const double difference = std::arg(section.response(f, rate) / allPass.response(f, rate));
                EXPECT_NEAR(difference * 180.0 / kPi, 0.0, 1.5) << f << " Hz";
            }
        }
    }
}

TEST(Biquad, ImpulseResponseMatchesTheResponse) {
    Biquad section;
    section.designHighPass(kRate, 20.0f);
    for (const double f : {5.0, 20.0, 200.0, 5000.0, 22000.0}) {
        EXPECT_NEAR(std::abs(impulseSpectrum(section, f, kRate) - section.response(f, kRate)), 0.0, 1e-4) << f;
    }
}

TEST(Biquad, SilenceSettlesAtSmallNormalStates) {
    Biquad section;
    section.designHighPass(kRate, 20.0f);
    section.processSample(1.0f);
    section.clear();
    EXPECT_EQ(section.processSample(0.0f), 0.0f);
    for (int n = 1; n < 200000; ++n) {
        const float y = section.processSample(0.0f);
        ASSERT_LT(std::fabs(y), 1e-19f) << n;
        ASSERT_NE(std::fpclassify(y), FP_SUBNORMAL) << n;
        ASSERT_NE(std::fpclassify(section.state.state1), FP_SUBNORMAL) << n;
        ASSERT_NE(std::fpclassify(section.state.state2), FP_SUBNORMAL) << n;
    }
    // The injected 1e-20 over the feedback sum at DC, 1 + a1 + a2.
    EXPECT_NEAR(section.state.state1, 1.24e-15, 1.24e-17);
    EXPECT_NEAR(section.state.state2, 1.24e-15, 1.24e-17);
}

TEST(Biquad, DesignKeepsTheStateAndClearKeepsTheCoefficients) {
    Biquad section, redesigned;
    section.designHighPass(kRate, 20.0f);
    section.processSample(1.0f);
    section.processSample(-0.5f);
    const Biquad before = section;
    section.designHighPass(kRate, 100.0f);
    redesigned.designHighPass(kRate, 100.0f);
    redesigned.state = before.state;
    EXPECT_EQ(section.state.state1, before.state.state1);
    EXPECT_EQ(section.state.state2, before.state.state2);
    const float y = section.processSample(0.25f);
    EXPECT_NE(y, Biquad(before).processSample(0.25f));
    EXPECT_EQ(y, redesigned.processSample(0.25f));
    section.clear();
    EXPECT_EQ(section.state.state1, 0.0f);
    EXPECT_EQ(section.state.state2, 0.0f);
    EXPECT_EQ(section.response(100.0, kRate), redesigned.response(100.0, kRate));
}
