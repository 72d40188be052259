// The first-order all-pass: its design on both sides of a quarter of the rate, its response and its processing.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>

#include "AllPass1.h"
#include "ImpulseSpectrum.h"

namespace {

constexpr double kPi = 3.141592653589793;
constexpr float kRate = 44100.0f;

float designed(float sampleRateHz, float cornerHz) {
    AllPass1 section;
    section.design(sampleRateHz, cornerHz);
    return section.coefficients.coeff;
}

}  // namespace

TEST(AllPass1, StartsAsAOneSampleDelay) {
    AllPass1 section;
    float previous = 0.0f;
    for (const float x : {0.5f, -1.0f, 3e-5f, 2.0f, 0.25f}) {
        EXPECT_EQ(section.processSample(x), previous);
        previous = x;
    }
}

TEST(AllPass1, DesignHasKnownCoefficientsOnBothSidesOfAQuarterOfTheRate) {
    EXPECT_EQ(designed(kRate, 20.0f), -0.997154534f);
    EXPECT_EQ(designed(kRate, 80.0f), -0.988666415f);
    EXPECT_EQ(designed(kRate, 11000.0f), -0.0017737872f);
    // From a quarter of the rate up the limiting value -cos(w0) / 2 replaces the quotient.
    EXPECT_EQ(designed(kRate, kRate / 3.0f), 0.25000003f);
}

TEST(AllPass1, HasUnityGainAndAQuarterTurnAtTheCorner) {
    for (const float rate : {44100.0f, 48000.0f, 96000.0f}) {
        for (const float corner : {10.0f, 20.0f, 80.0f, 200.0f, 1000.0f, 5000.0f}) {
            SCOPED_TRACE(testing::Message() << corner << " Hz at " << rate << " Hz");
            AllPass1 section;
            section.design(rate, corner);
            for (const double f : {1.0, 0.5 * corner, 2.0 * corner, 10000.0, 20000.0}) {
                EXPECT_NEAR(std::abs(section.response(f, rate)), 1.0, 1e-12) << f << " Hz";
            }
            EXPECT_NEAR(std::abs(section.response(0.0, rate) - 1.0), 0.0, 1e-12);
            EXPECT_NEAR(std::abs(section.response(rate / 2.0, rate) + 1.0), 0.0, 1e-12);
            EXPECT_NEAR(std::arg(section.response(corner, rate)) * 180.0 / kPi, -90.0, 0.005);
        }
    }
}

TEST(AllPass1, ImpulseResponseMatchesTheResponse) {
    AllPass1 section;
    section.design(kRate, 80.0f);
    for (const double f : {5.0, 80.0, 500.0, 5000.0, 22000.0}) {
        EXPECT_NEAR(std::abs(impulseSpectrum(section, f, kRate) - section.response(f, kRate)), 0.0, 1e-4) << f;
    }
}

TEST(AllPass1, SilenceSettlesAtASmallNormalState) {
    AllPass1 section;
    section.design(kRate, 20.0f);
    section.processSample(1.0f);
    section.clear();
    EXPECT_EQ(section.processSample(0.0f), 0.0f);
    for (int n = 1; n < 200000; ++n) {
        const float y = section.processSample(0.0f);
        ASSERT_LT(std::fabs(y), 1e-19f) << n;
        ASSERT_NE(std::fpclassify(y), FP_SUBNORMAL) << n;
        ASSERT_NE(std::fpclassify(section.state.state), FP_SUBNORMAL) << n;
    }
    // The injected 1e-20 over the feedback sum at DC, 1 + coeff.
    EXPECT_NEAR(section.state.state, 3.51e-18, 3.51e-20);
}

TEST(AllPass1, DesignKeepsTheStateAndClearKeepsTheCoefficient) {
    AllPass1 section, redesigned;
    section.design(kRate, 20.0f);
    section.processSample(1.0f);
    const AllPass1 before = section;
    section.design(kRate, 80.0f);
    redesigned.design(kRate, 80.0f);
    redesigned.state = before.state;
    EXPECT_EQ(section.state.state, before.state.state);
    const float y = section.processSample(0.25f);
    EXPECT_NE(y, AllPass1(before).processSample(0.25f));
    EXPECT_EQ(y, redesigned.processSample(0.25f));
    section.clear();
    EXPECT_EQ(section.state.state, 0.0f);
    EXPECT_EQ(section.response(100.0, kRate), redesigned.response(100.0, kRate));
}
