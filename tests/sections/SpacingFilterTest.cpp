// The difference path's first-order high-pass: its design from spacing and width, its response and its processing.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>

#include "ImpulseSpectrum.h"
#include "SpacingFilter.h"

namespace {

constexpr double kPi = 3.141592653589793;
constexpr float kRate = 44100.0f;

}  // namespace

TEST(SpacingFilter, StartsAsIdentity) {
    SpacingFilter section;
    for (const float x : {0.5f, -1.0f, 3e-5f, 2.0f, 0.25f}) {
        EXPECT_EQ(section.processSample(x), x);
    }
}

TEST(SpacingFilter, EighteenCentimetresAtFullWidthPutTheCornerNear96Hz) {
    SpacingFilter section;
    section.design(kRate, 18.0f, 100.0f);
    EXPECT_EQ(section.coefficients.b0, 0.993189692f);
    EXPECT_EQ(section.coefficients.b1, -0.993189692f);
    EXPECT_EQ(section.coefficients.a1, -0.986379385f);
    // Without pre-warping the analog corner B = 604.788757 rad/s lands at (fs / pi) atan(B / 2 fs).
    const std::complex<double> h = section.response(kRate / kPi * std::atan(604.788757 / (2.0 * kRate)), kRate);
    EXPECT_NEAR(std::abs(h), std::sqrt(0.5), 1e-5);
    EXPECT_NEAR(std::arg(h) * 180.0 / kPi, 45.0, 0.001);
    EXPECT_EQ(section.response(0.0, kRate), 0.0);
    EXPECT_LT(std::abs(section.response(1.0, kRate)), 0.011);
    EXPECT_NEAR(std::abs(section.response(10000.0, kRate)), 1.0, 1e-4);
    EXPECT_NEAR(std::abs(section.response(kRate / 2.0, kRate) - 1.0), 0.0, 1e-6);
}

TEST(SpacingFilter, ZeroWidthIsFlatAndTheStateSumsTheInput) {
    SpacingFilter section;
    section.design(kRate, 18.0f, 0.0f);
    EXPECT_EQ(section.coefficients.b0, 1.0f);
    EXPECT_EQ(section.coefficients.b1, -1.0f);
    EXPECT_EQ(section.coefficients.a1, -1.0f);
    EXPECT_NEAR(std::abs(section.response(1000.0, kRate) - 1.0), 0.0, 1e-12);
    float sum = 0.0f;
    for (const float x : {0.5f, -1.0f, 2.0f, 0.25f, -3.0f}) {
        EXPECT_EQ(section.processSample(x), x);
        sum += x;
        EXPECT_EQ(section.state.state, sum);
    }
}

TEST(SpacingFilter, ImpulseResponseMatchesTheResponse) {
    SpacingFilter section;
    section.design(kRate, 18.0f, 100.0f);
    for (const double f : {5.0, 96.0, 500.0, 5000.0, 22000.0}) {
        EXPECT_NEAR(std::abs(impulseSpectrum(section, f, kRate) - section.response(f, kRate)), 0.0, 1e-4) << f;
    }
}

TEST(SpacingFilter, SilenceSettlesAtASmallNormalState) {
    SpacingFilter section;
    section.design(kRate, 18.0f, 100.0f);
    section.processSample(1.0f);
    section.clear();
    EXPECT_EQ(section.processSample(0.0f), 0.0f);
    for (int n = 1; n < 200000; ++n) {
        const float y = section.processSample(0.0f);
        ASSERT_LT(std::fabs(y), 1e-19f) << n;
        ASSERT_NE(std::fpclassify(y), FP_SUBNORMAL) << n;
        ASSERT_NE(std::fpclassify(section.state.state), FP_SUBNORMAL) << n;
    }
    // The injected 1e-20 over the feedback sum at DC, 1 + a1.
    EXPECT_NEAR(section.state.state, 7.34e-19, 7.34e-21);
}

TEST(SpacingFilter, DesignKeepsTheStateAndClearKeepsTheCoefficients) {
    SpacingFilter section, redesigned;
    section.design(kRate, 18.0f, 100.0f);
    section.processSample(1.0f);
    const SpacingFilter before = section;
    section.design(kRate, 30.0f, 150.0f);
    redesigned.design(kRate, 30.0f, 150.0f);
    redesigned.state = before.state;
    EXPECT_EQ(section.state.state, before.state.state);
    const float y = section.processSample(0.25f);
    EXPECT_NE(y, SpacingFilter(before).processSample(0.25f));
    EXPECT_EQ(y, redesigned.processSample(0.25f));
    section.clear();
    EXPECT_EQ(section.state.state, 0.0f);
    EXPECT_EQ(section.response(100.0, kRate), redesigned.response(100.0, kRate));
}
