// The first-order low shelf on the sum: its design, its all-pass phase, its response and its processing.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>

#include "AllPass1.h"
#include "BassShelf.h"
#include "ImpulseSpectrum.h"

namespace {

constexpr double kPi = 3.141592653589793;
constexpr float kRate = 44100.0f;

}  // namespace

TEST(BassShelf, StartsSilent) {
    BassShelf section;
    for (const float x : {0.5f, -1.0f, 3e-5f, 2.0f, 0.25f}) {
        EXPECT_EQ(section.processSample(x), 0.0f);
    }
}

TEST(BassShelf, CutTo083At80HzHasKnownCoefficients) {
    BassShelf section;
    section.design(kRate, 80.0f, 0.83f, 1.0f);
    EXPECT_EQ(section.coefficients.c0, -0.989669383f);
    EXPECT_EQ(section.coefficients.c1, -0.98756665f);
    EXPECT_EQ(section.coefficients.outGain, 0.998941302f);
    EXPECT_NEAR(std::abs(section.response(80.0, kRate)), 0.911, 5e-4);
}

TEST(BassShelf, EqualGainsGiveTheScaledAllPassOfTheSameCorner) {
    AllPass1 allPass;
    allPass.design(kRate, 80.0f);
    for (const float gain : {1.0f, 0.5f, 2.0f}) {
        BassShelf section;
        section.design(kRate, 80.0f, gain, gain);
        EXPECT_EQ(section.coefficients.c0, -0.988666415f);
        EXPECT_EQ(section.coefficients.c1, allPass.coefficients.coeff);
        EXPECT_EQ(section.coefficients.outGain, gain);
        for (const double f : {10.0, 80.0, 1000.0, 20000.0}) {
            EXPECT_NEAR(std::abs(section.response(f, kRate) - static_cast<double>(gain) * allPass.response(f, kRate)),
                        0.0, 1e-6)
                << f;
        }
    }
}

TEST(BassShelf, ShelvesFromGainToReferenceWithinTwoDegreesOfTheAllPassPhase) {
    for (const float rate : {44100.0f, 48000.0f, 96000.0f}) {
        for (const float corner : {10.0f, 40.0f, 80.0f, 200.0f}) {
            for (const float gain : {0.5f, 0.83f, 1.25f, 2.0f}) {
                SCOPED_TRACE(testing::Message() << corner << " Hz, gain " << gain << ", at " << rate << " Hz");
                BassShelf section;
                section.design(rate, corner, gain, 1.0f);
                AllPass1 allPass;
                allPass.design(rate, corner);
                EXPECT_NEAR(std::abs(section.response(0.0, rate) - static_cast<double>(gain)), 0.0, 1e-6);
                EXPECT_NEAR(std::abs(section.response(rate / 2.0, rate) + 1.0), 0.0, 2e-4);
                EXPECT_NEAR(std::abs(section.response(corner, rate)), std::sqrt(gain), 2e-4);
                EXPECT_NEAR(std::arg(section.response(corner, rate)) * 180.0 / kPi, -90.0, 0.01);
                for (double f = 1.0; f < rate / 2.0; f *= 1.25) {
                    const double difference = std::arg(section.response(f, rate) / allPass.response(f, rate));
                    EXPECT_NEAR(difference * 180.0 / kPi, 0.0, 2.0) << f << " Hz";
                }
            }
        }
    }
}

TEST(BassShelf, ImpulseResponseMatchesTheResponse) {
    BassShelf section;
    section.design(kRate, 80.0f, 0.83f, 1.0f);
    for (const double f : {5.0, 80.0, 500.0, 5000.0, 22000.0}) {
        EXPECT_NEAR(std::abs(impulseSpectrum(section, f, kRate) - section.response(f, kRate)), 0.0, 1e-4) << f;
    }
}

TEST(BassShelf, SilenceSettlesAtASmallNormalState) {
    BassShelf section;
    section.design(kRate, 80.0f, 0.83f, 1.0f);
    section.processSample(1.0f);
    section.clear();
    EXPECT_EQ(section.processSample(0.0f), 0.0f);
    for (int n = 1; n < 200000; ++n) {
        const float y = section.processSample(0.0f);
        ASSERT_LT(std::fabs(y), 1e-19f) << n;
        ASSERT_NE(std::fpclassify(y), FP_SUBNORMAL) << n;
        ASSERT_NE(std::fpclassify(section.state.state), FP_SUBNORMAL) << n;
    }
    // The injected 1e-20 over the feedback sum at DC, 1 + c1.
    EXPECT_NEAR(section.state.state, 8.04e-19, 8.04e-21);
}

TEST(BassShelf, DesignKeepsTheStateAndClearKeepsTheCoefficients) {
    BassShelf section, redesigned;
    section.design(kRate, 80.0f, 0.83f, 1.0f);
    section.processSample(1.0f);
    const BassShelf before = section;
    section.design(kRate, 120.0f, 1.5f, 1.0f);
    redesigned.design(kRate, 120.0f, 1.5f, 1.0f);
    redesigned.state = before.state;
    EXPECT_EQ(section.state.state, before.state.state);
    const float y = section.processSample(0.25f);
    EXPECT_NE(y, BassShelf(before).processSample(0.25f));
    EXPECT_EQ(y, redesigned.processSample(0.25f));
    section.clear();
    EXPECT_EQ(section.state.state, 0.0f);
    EXPECT_EQ(section.response(100.0, kRate), redesigned.response(100.0, kRate));
}
